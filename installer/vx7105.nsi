; VX-7105 host software installer.
; Installs the three deliverables where they are looked for (the utility and the
; applet in the system directory, the library where the compatibility check looks
; by default and beside the samples) and the SDK. It registers only its own
; uninstall entry; the driver's keys belong to the driver's installation.
;   makensis -DSTAGE=<staged tree> -DOUTFILE=<installer.exe> vx7105.nsi
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
Name "VX-7105 host software 6.5.1"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\zrn\vx7105"
ShowInstDetails show

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VX7105HostSoftware"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetOutPath "$SYSDIR"
  File "${STAGE}\system32\vx710cfg.exe"
  File "${STAGE}\system32\vx710cpl.cpl"
  SetOutPath "$INSTDIR\qrlink00\Release"
  File "${STAGE}\qrlink00\Release\qrlink00.dll"
  SetOutPath "$INSTDIR\sdk"
  File /r "${STAGE}\sdk\*.*"
  SetOutPath "$INSTDIR\tools"
  File "${STAGE}\tools\qrlogdump.exe"
  File "${STAGE}\tools\vx710sim.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "VX-7105 host software"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "6.5.1.0"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SYSDIR\vx710cfg.exe"
  Delete "$SYSDIR\vx710cpl.cpl"
  RMDir /r "$INSTDIR\qrlink00"
  RMDir /r "$INSTDIR\sdk"
  RMDir /r "$INSTDIR\tools"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES\zrn"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
