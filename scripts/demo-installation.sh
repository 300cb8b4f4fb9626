# Sourced: makes a demo installation of the application in $WINEPREFIX, as its
# own installer would leave it: the stand-in as Lingvaro.exe in the folder
# where a 32-bit application's installer puts it, a data file, and the
# uninstall entry in the 32-bit registry view. Needs a Wine session
# (scripts/wine-session.sh) and the folder holding the stand-in.
#   lvm_make_demo_installation BIN_DIR
# Sets app_win, app_dir (Windows and Linux paths of the folder) and key.
lvm_make_demo_installation() {
    app_win='C:\Program Files (x86)\Lingvaro'
    app_dir="$WINEPREFIX/drive_c/Program Files (x86)/Lingvaro"
    key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lingvaro'
    mkdir -p "$app_dir/Data"
    cp "$1/Lingvaro.exe" "$app_dir/Lingvaro.exe"
    head -c 300000 /dev/zero > "$app_dir/Data/lessons.dat"
    wine reg add "$key" /v UninstallString /d "\"$app_win\\uninst.exe\"" /reg:32 /f >/dev/null 2>&1
    wine reg add "$key" /v DisplayName /d "Lingvaro" /reg:32 /f >/dev/null 2>&1
}
