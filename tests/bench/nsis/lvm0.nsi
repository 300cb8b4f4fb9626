; The installer an administrator could build instead of ours, for the
; benchmark: the same package stored (not compressed), NSIS's own CRC-32 check
; of the whole file at start, the folder read from the same uninstall entry in
; the 64-bit view, EstimatedSize written there, silent.
;   makensis -DTARGET=<x86-unicode|amd64-unicode> -DPACKAGE=<lvm0.pak> -DOUTFILE=<exe> lvm0.nsi
Unicode true
Target ${TARGET}
SetCompress off
CRCCheck on
SilentInstall silent
RequestExecutionLevel admin
Name "lvm0"
OutFile "${OUTFILE}"

!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lingvaro"

Section
    SetRegView 64
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "UninstallString"
    StrCmp $0 "" 0 found
        SetErrorLevel 1603
        Quit
found:
    ${GetParent} $0 $INSTDIR
    SetOutPath $INSTDIR
    File "${PACKAGE}"
    ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd
