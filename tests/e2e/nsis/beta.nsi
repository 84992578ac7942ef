; The beta as a third-party installer leaves it: built with NSIS, whose
; uninstaller copies itself to the temp folder, starts the copy and ends at
; once; the copy does the work. makensis -DOUTFILE=<exe> beta.nsi
; Saved as UTF-8 with a BOM: the display name is Korean.
Unicode true
Name "NU-BEN beta"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
; The bootstrapper starts the uninstaller exactly as registered, with no
; /S: it must not wait for a click.
SilentInstall silent
SilentUnInstall silent
InstallDir "$PROGRAMFILES\NU-BEN Beta"

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NU-BEN"

Section
    SetOutPath "$INSTDIR"
    FileOpen $0 "$INSTDIR\nuben.dat" w
    FileWrite $0 "the beta's data"
    FileClose $0
    WriteUninstaller "$INSTDIR\uninst.exe"
    WriteRegStr HKLM "${KEY}" "DisplayName" "누벤"
    WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
SectionEnd

Section Uninstall
    ; Long enough that a wait for the first process alone re-checks too early.
    Sleep 3000
    Delete "$INSTDIR\nuben.dat"
    Delete "$INSTDIR\uninst.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${KEY}"
SectionEnd
