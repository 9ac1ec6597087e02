; VX-7105 host software installer, one script for both architectures.
; Installs the three deliverables where they are looked for (the utility, the help
; file vx710cfg.chm that it opens from the system directory, and the applet in the
; system directory; the library where the compatibility check looks by default and
; beside the samples) and the SDK. It registers only its own
; uninstall entry; the driver's keys belong to the driver's installation.
;   makensis -DARCH=x86|amd64 -DSTAGE=<staged tree of that architecture> -DOUTFILE=<installer.exe> vx7105.nsi
;
; x86 is a 32-bit installer: on 64-bit Windows it runs under WOW64, so $PROGRAMFILES
; is "Program Files (x86)", $SYSDIR is SysWOW64 and the registry is the 32-bit view,
; which is where 32-bit modules belong. amd64 is a 64-bit installer: nothing is
; redirected, $SYSDIR is the real system32, $PROGRAMFILES64 the 64-bit Program Files
; and the registry the 64-bit view (set explicitly below all the same).
; The two keep separate uninstall entries (VX7105HostSoftware, VX7105HostSoftware64)
; and separate display names, so that both can be installed side by side and each
; uninstaller removes only its own.
!ifndef ARCH
  !error "ARCH must be defined: -DARCH=x86 or -DARCH=amd64"
!endif
!if "${ARCH}" == "x86"
  Target x86-unicode
  !define PF_ROOT "$PROGRAMFILES"
  !define UNINST_NAME "VX7105HostSoftware"
  !define DISPLAY_NAME "VX-7105 host software"
!else if "${ARCH}" == "amd64"
  Target amd64-unicode
  !define PF_ROOT "$PROGRAMFILES64"
  !define UNINST_NAME "VX7105HostSoftware64"
  !define DISPLAY_NAME "VX-7105 host software (x64)"
!else
  !error "ARCH must be x86 or amd64, not '${ARCH}'"
!endif
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
Name "${DISPLAY_NAME} 6.5.1"
OutFile "${OUTFILE}"
InstallDir "${PF_ROOT}\zrn\vx7105"
ShowInstDetails show

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${UNINST_NAME}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!if "${ARCH}" == "amd64"
Function .onInit
  SetRegView 64
FunctionEnd
Function un.onInit
  SetRegView 64
FunctionEnd
!endif

Section "Install"
  SetOutPath "$SYSDIR"
  File "${STAGE}\system32\vx710cfg.exe"
  File "${STAGE}\system32\vx710cfg.chm"
  File "${STAGE}\system32\vx710cpl.cpl"
  SetOutPath "$INSTDIR\qrlink00\Release"
  File "${STAGE}\qrlink00\Release\qrlink00.dll"
  SetOutPath "$INSTDIR\sdk"
  File /r "${STAGE}\sdk\*.*"
  SetOutPath "$INSTDIR\tools"
  File "${STAGE}\tools\qrlogdump.exe"
  File "${STAGE}\tools\vx710sim.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "6.5.1.0"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SYSDIR\vx710cfg.exe"
  Delete "$SYSDIR\vx710cfg.chm"
  Delete "$SYSDIR\vx710cpl.cpl"
  RMDir /r "$INSTDIR\qrlink00"
  RMDir /r "$INSTDIR\sdk"
  RMDir /r "$INSTDIR\tools"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "${PF_ROOT}\zrn"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
