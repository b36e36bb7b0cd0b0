; Lumora Desktop's setup program: puts the conduit beside the HotSync Manager and registers
; it, puts lumprep.dll and the tools in its own folder, and offers to queue the handheld
; fonts for a HotSync user. Silent: /S [/USER=NAME] [/FACE=NAME|NAME...] [/STYLES=N]
; [/D=DIR]; /FACE queues the faces named (queue_ttf, in the styles of the mask N: 1 regular,
; 2 bold, 4 bold italic, 8 italic; 15 when not given) instead of Arial, Times New Roman and
; Verdana (queue_some_ttfs). Exit code 0 when installed, 2 when nothing was installed (no
; HotSync Manager, a bad /STYLES), 1 when registration failed; each failure is also a line
; in %TEMP%\lumora-desktop-setup.log.
;   makensis -DBIN=<built programs> -DREADME=README.md -DLICENCE=<copyright file>
;            -DVERSION=1.2.0 -DOUTFILE=lumora-desktop-setup.exe [-DAMD64]
; The Palm DLLs take ANSI text (the 'm' type of the System plug-in).
!ifndef BIN | README | LICENCE | VERSION | OUTFILE
  !error "define BIN, README, LICENCE, VERSION and OUTFILE"
!endif
!ifdef AMD64
  Target amd64-unicode
!else
  Unicode false
!endif
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WordFunc.nsh

!define PRODUCT "Lumora Desktop"
!define CORE_KEY "Software\U.S. Robotics\Pilot Desktop\Core"
!define OWN_KEY "Software\Lumora\Desktop"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LumoraDesktop"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} setup"
VIAddVersionKey LegalCopyright "Lumora developers"

Page directory
Page custom FacesPage FacesPageLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var CoreDir
Var HotSyncDir
Var Params      ; the command line's options, "/NAME=a b" read as /NAME="a b"
Var Faces       ; faces to queue, separated by |; empty: queue_some_ttfs
Var Styles      ; their style mask
Var FacesField
Var StylesField

; A line in the details and in the setup log.
!macro Say text
  DetailPrint "${text}"
  Push $9
  FileOpen $9 "$TEMP\lumora-desktop-setup.log" a
  FileSeek $9 0 END
  FileWrite $9 "${text}$\r$\n"
  FileClose $9
  Pop $9
!macroend

; Fails (with a line in the details and the log) when no HotSync Manager is installed.
!macro FindHotSync un
Function ${un}FindHotSync
  ReadRegStr $CoreDir HKCU "${CORE_KEY}" "Path"
  ${If} $CoreDir == ""
  ${OrIfNot} ${FileExists} "$CoreDir\CondMgr.dll"
    !insertmacro Say "${PRODUCT}: no HotSync Manager found (no Palm Desktop folder in HKCU\${CORE_KEY})."
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; The Palm DLLs and the conduit find one another in the Palm Desktop folder.
  System::Call 'kernel32::SetDllDirectory(t "$CoreDir")'
  System::Call '$CoreDir\CondMgr.dll::CmGetHotSyncExecPath(m .r1, *i 1024 r2) i .r0'
  ${If} $0 != 0
    !insertmacro Say "${PRODUCT}: no HotSync Manager found (CmGetHotSyncExecPath gave $0)."
    SetErrorLevel 2
    Abort
  ${EndIf}
  ${GetParent} $1 $HotSyncDir
FunctionEnd
!macroend
!insertmacro FindHotSync ""
!insertmacro FindHotSync "un."

; /FACE and /STYLES, checked before anything is installed. An option quoted whole, such as
; "/FACE=Times New Roman", reads as /FACE="Times New Roman".
Function .onInit
  ${GetParameters} $Params
  ${WordReplace} $Params '"/USER=' '/USER="' "+" $Params
  ${WordReplace} $Params '"/FACE=' '/FACE="' "+" $Params
  ${WordReplace} $Params '"/STYLES=' '/STYLES="' "+" $Params
  ClearErrors
  ${GetOptions} $Params "/FACE=" $Faces
  ClearErrors
  ${GetOptions} $Params "/STYLES=" $Styles
  ${If} ${Errors}
    StrCpy $Styles 15
  ${EndIf}
  Call CheckStyles
FunctionEnd

Function CheckStyles
  IntOp $R1 $Styles + 0
  ${If} "$R1" != "$Styles"
  ${OrIf} $R1 < 1
  ${OrIf} $R1 > 15
    !insertmacro Say "${PRODUCT}: /STYLES=$Styles is not a style mask from 1 to 15 (1 regular, 2 bold, 4 bold italic, 8 italic)."
    ${IfNot} ${Silent}
      MessageBox MB_OK|MB_ICONSTOP "The styles must be a number from 1 to 15 (1 regular, 2 bold, 4 bold italic, 8 italic, added up)."
    ${EndIf}
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; Interactively: which faces the fonts offered to the HotSync users are.
Function FacesPage
  nsDialogs::Create 1018
  Pop $R0
  ${NSD_CreateLabel} 0 0 100% 36u "Handheld fonts that may be queued for HotSync users. Leave the faces empty for Arial, Times New Roman and Verdana, or name the faces installed on this computer, separated by |, such as Tahoma|Georgia."
  Pop $R0
  ${NSD_CreateText} 0 40u 100% 12u "$Faces"
  Pop $FacesField
  ${NSD_CreateLabel} 0 60u 100% 12u "Styles of the named faces, added up: 1 regular, 2 bold, 4 bold italic, 8 italic."
  Pop $R0
  ${NSD_CreateNumber} 0 74u 40u 12u "$Styles"
  Pop $StylesField
  nsDialogs::Show
FunctionEnd

Function FacesPageLeave
  ${NSD_GetText} $FacesField $Faces
  ${NSD_GetText} $StylesField $Styles
  IntOp $R1 $Styles + 0
  ${If} "$R1" != "$Styles"
  ${OrIf} $R1 < 1
  ${OrIf} $R1 > 15
    MessageBox MB_OK|MB_ICONEXCLAMATION "The styles must be a number from 1 to 15."
    Abort
  ${EndIf}
FunctionEnd

; Queues the handheld fonts for user $0: queue_some_ttfs, or queue_ttf for each face of
; $Faces in the styles $Styles.
Function QueueFonts
  ${If} $Faces == ""
    System::Call '$INSTDIR\lumprep.dll::queue_some_ttfs(m r0)?c'
    DetailPrint "Handheld fonts queued for $0."
    Return
  ${EndIf}
  StrCpy $R2 $Faces
  ${Do}
    ; $R3: the length of the first face of $R2
    StrCpy $R3 0
    ${Do}
      StrCpy $R4 $R2 1 $R3
      ${If} $R4 == "|"
      ${OrIf} $R4 == ""
        ${ExitDo}
      ${EndIf}
      IntOp $R3 $R3 + 1
    ${Loop}
    StrCpy $R5 $R2 $R3
    IntOp $R3 $R3 + 1
    StrCpy $R2 $R2 "" $R3
    ${If} $R5 != ""
      Push $1
      StrCpy $1 $R5
      System::Call '$INSTDIR\lumprep.dll::queue_ttf(m r0, m r1, i $Styles)?c'
      Pop $1
      DetailPrint "Handheld font $R5 (styles $Styles) queued for $0."
    ${EndIf}
  ${LoopUntil} $R2 == ""
FunctionEnd

Section "Install"
  Call FindHotSync
  SetOutPath "$HotSyncDir"
  File "${BIN}\lumsync.dll"
  File "${BIN}\hotsync.html"
  SetOutPath "$INSTDIR"
  File "${BIN}\lumprep.dll"
  File "${BIN}\lumora-bitmap.exe"
  File "${BIN}\lumora-font.exe"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENCE.txt" "${LICENCE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  System::Call '$HotSyncDir\lumsync.dll::DllRegisterServer() i .r0'
  ${If} $0 != 1
    !insertmacro Say "${PRODUCT}: the conduit could not be registered (DllRegisterServer gave $0)."
    SetErrorLevel 1
    Abort
  ${EndIf}
  DetailPrint "Conduit registered with the HotSync Manager."

  ReadINIStr $0 "$WINDIR\Lumdex.ini" "Lumdex" "SyncDir"
  ${If} $0 == ""
    StrCpy $0 "C:\Lumdex"
  ${EndIf}
  ${IfNot} ${FileExists} "$0\*.*"
    CreateDirectory "$0"
    DetailPrint "Sync folder $0 created."
  ${EndIf}

  ; The fonts (those of /FACE, or of the faces page): for /USER=NAME, or, asked, for each
  ; HotSync user.
  ClearErrors
  ${GetOptions} $Params "/USER=" $0
  ${IfNot} ${Errors}
    Call QueueFonts
  ${ElseIfNot} ${Silent}
    System::Call '$CoreDir\InstAide.dll::PltGetUserCount() i .r5'
    ${ForEach} $4 0 $5 + 1
      ${If} $4 >= $5
        ${Break}
      ${EndIf}
      System::Call '$CoreDir\InstAide.dll::PltGetUser(i r4, m .r0, *h 256) i .r6'
      ${If} $6 >= 0
        MessageBox MB_YESNO "Queue the handheld fonts for the HotSync user $0?" IDNO +2
        Call QueueFonts
      ${EndIf}
    ${Next}
  ${EndIf}

  WriteRegStr HKCU "${OWN_KEY}" "CoreDir" "$CoreDir"
  WriteRegStr HKCU "${OWN_KEY}" "HotSyncDir" "$HotSyncDir"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Lumora developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Leaves the sync folder, the settings (Lumdex.ini) and the pictures alone.
Section "Uninstall"
  Call un.FindHotSync
  ; Unloaded after the call (?u), so that the file can go.
  System::Call '$HotSyncDir\lumsync.dll::DllUnregisterServer() i .r0 ?u'
  DetailPrint "DllUnregisterServer gave $0."
  Delete "$HotSyncDir\lumsync.dll"
  Delete "$HotSyncDir\hotsync.html"
  Delete "$INSTDIR\lumprep.dll"
  Delete "$INSTDIR\lumora-bitmap.exe"
  Delete "$INSTDIR\lumora-font.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENCE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${OWN_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
