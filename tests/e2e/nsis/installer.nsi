; A stand-in for the real 2.1 installer, built with NSIS: a few MB of data
; under NSIS's own integrity check, started with no arguments at all.
; makensis -DOUTFILE=<exe> -DDATA=<file> installer.nsi
; A byte lost or changed in delivery fails the check: nothing is installed.
Unicode true
Name "NU-BEN 2.1"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
CRCCheck force
SilentInstall silent
; Random data does not compress; storing it keeps the build quick.
SetCompress off
InstallDir "$PROGRAMFILES\NU-BEN 2.1 e2e"

Section
    SetOutPath "$INSTDIR"
    File "/oname=data.bin" "${DATA}"
    ; Written last: the case's proof that the whole installer ran.
    FileOpen $0 "$INSTDIR\installed.txt" w
    FileWrite $0 "$EXEPATH"
    FileClose $0
SectionEnd
