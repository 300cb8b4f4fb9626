# Sourced by the scripts that speak of one add-on: `--package DESCRIPTION`,
# anywhere among their arguments (packages/lvm0.ini when absent). Expects $root.
#   lvm_take_package_option "$@"
# sets description (absolute), package (its name), the package's facts
# (package_kind, package_version, package_file; tools/check_package.py facts)
# and lvm_other_arguments (the rest, quoted for `eval "set -- ..."`). A
# description the tool refuses: its one line, and status 1 (package is then
# the description's file name stem, which a good description's name is).
lvm_quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
lvm_take_package_option() {
    description="$root/packages/lvm0.ini"
    lvm_other_arguments=""
    while [ $# -gt 0 ]; do
        case "$1" in
            --package)
                [ $# -ge 2 ] || { echo "$(basename "$0"): --package needs a package description (packages/NAME.ini)" >&2; exit 2; }
                description=$2; shift 2 ;;
            --package=*) description=${1#--package=}; shift ;;
            *) lvm_other_arguments="$lvm_other_arguments $(lvm_quote "$1")"; shift ;;
        esac
    done
    [ -f "$description" ] || { echo "$description: no such package description" >&2; exit 2; }
    description=$(realpath -- "$description")
    package=$(basename "$description" .ini)
    facts=$(python3 "$root/tools/check_package.py" facts "$description") || return 1
    eval "$facts"
}

# The copy of DESCRIPTION in CLONE, a clone of this tree, when the
# description lies in the tree; a description outside it as it is.
lvm_description_in_clone() {  # CLONE DESCRIPTION
    case "$2" in
        "$root"/*) echo "$1/${2#"$root"/}" ;;
        *) echo "$2" ;;
    esac
}
