; A small installer that leaves every kind of trace a Windows program leaves in a Wine prefix: files, an
; Uninstall entry, a file association, an autostart value, settings with text beyond ASCII, a changed and a deleted
; value in a key that existed before, a key in the 32-bit view, and shortcuts in the Start menu and on the desktop.
; makensis -DOUT=<setup.exe> quillpad.nsi
Unicode true
Target amd64-unicode
!include "x64.nsh"
Name "Quillpad"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Quillpad"
RequestExecutionLevel admin
Section
  ${DisableX64FSRedirection}
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=quillpad.exe" "${NSISDIR}/Stubs/uninst"
  FileOpen $0 "$INSTDIR\readme.txt" w
  FileWrite $0 "Quillpad"
  FileClose $0
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillpad" "DisplayName" "Quillpad 1.0"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillpad" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "Software\Classes\.qpd" "" "Quillpad.Document"
  WriteRegStr HKLM "Software\Classes\Quillpad.Document" "" "Quillpad document"
  WriteRegStr HKLM "Software\Classes\Quillpad.Document\shell\open\command" "" '"$INSTDIR\quillpad.exe" "%1"'
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "Quillpad" '"$INSTDIR\quillpad.exe" /tray'
  WriteRegStr HKCU "Software\Quillpad\Settings" "Greeting" "Grüße, ☃ Ünïcødé"
  WriteRegDWORD HKCU "Software\Quillpad\Settings" "Size" 12
  WriteRegStr HKCU "Control Panel\Desktop" "Wallpaper" "C:\Quillpad.bmp"
  DeleteRegValue HKCU "Control Panel\Desktop" "WheelScrollLines"
  SetRegView 32
  WriteRegStr HKLM "Software\Quillpad" "InstallPath" "$INSTDIR"
  SetRegView 64
  CreateDirectory "$SMPROGRAMS\Quillpad"
  CreateShortCut "$SMPROGRAMS\Quillpad\Quillpad.lnk" "$INSTDIR\quillpad.exe"
  CreateShortCut "$DESKTOP\Quillpad.lnk" "$INSTDIR\quillpad.exe"
SectionEnd
Section "Uninstall"
SectionEnd
