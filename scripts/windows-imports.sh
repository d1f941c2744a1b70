#!/bin/sh
# Checks that Windows programs import only DLLs that every Windows has, so
# that they run from a folder with nothing installed:
#
#   scripts/windows-imports.sh PROGRAM.exe...
#
# Prints each program's imports and, for any DLL outside the list below,
# one line naming it; exit code 1 then. Needs x86_64-w64-mingw32-objdump
# (binutils-mingw-w64-x86-64).
set -eu
status=0
for program in "$@"; do
  imports=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
  # shellcheck disable=SC2086
  echo "$(basename "$program") imports:" $imports
  for dll in $imports; do
    # Windows' own libraries: the kernel, the C runtime that ships with the
    # system (msvcrt), and what SDL's audio drivers use.
    case $(echo "$dll" | tr '[:upper:]' '[:lower:]') in
      kernel32.dll | msvcrt.dll | shlwapi.dll | user32.dll | gdi32.dll | winmm.dll | imm32.dll | ole32.dll | \
        oleaut32.dll | version.dll | advapi32.dll | setupapi.dll | shell32.dll | ws2_32.dll | bcrypt.dll) ;;
      *)
        echo "windows-imports.sh: $program imports $dll, which Windows does not provide" >&2
        status=1
        ;;
    esac
  done
done
exit $status
