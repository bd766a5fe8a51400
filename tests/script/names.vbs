' Names in any language from VBScript, through the default (second)
' interface: CodePage 65001 against one real server, local files through
' Scripting.FileSystemObject. Wine's VBScript has no ChrW and reads scripts in
' the ANSI code page, so the names come from QUORLIN_UNICODE_NAMES (Greek,
' Japanese and one outside the basic plane, blank-separated).

Dim environment, fso, workspace, remoteFolder, localFolder, ftp, greek, japanese, emoji, stream, entry, listed
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
workspace = "vbscript-names-" & environment.Item("QUORLIN_FTP_SERVER_NAME")
remoteFolder = "Z:" & Replace(environment.Item("QUORLIN_FTP_HOME"), "/", "\") & "\" & workspace
localFolder = environment.Item("QUORLIN_SCRATCH") & "\" & workspace
fso.CreateFolder localFolder
Dim names
names = Split(environment.Item("QUORLIN_UNICODE_NAMES"), " ")
greek = names(0) : japanese = names(1) : emoji = names(2)
Check Len(greek) = 8 And Len(japanese) = 3 And Len(emoji) = 7, "the names arrive whole: " & Len(emoji)

Set ftp = CreateObject("quorlin.FTP")
Check ftp.CodePage = 0, "CodePage starts at 0"
On Error Resume Next
ftp.CodePage = 99999
Check Err.Number = 5 And Err.Source = "Quorlin.FTP", "a code page the system lacks is refused (" & Err.Number & ")"
Err.Clear
On Error GoTo 0
Check ftp.CodePage = 0, "the old value stays"
ftp.CodePage = 65001
ftp.URL = "127.0.0.1"
ftp.Port = CLng(environment.Item("QUORLIN_FTP_PORT"))
ftp.Username = environment.Item("QUORLIN_FTP_USER")
ftp.Password = environment.Item("QUORLIN_FTP_PASSWORD")
ftp.Passive = True
ftp.TransferType = 2

On Error Resume Next
ftp.OpenConnection
CheckNoError "open with CodePage 65001"
ftp.CreateDirectory workspace
ftp.Directory = workspace
CheckNoError "enter the workspace"

Set stream = fso.CreateTextFile(localFolder & "\" & greek & ".txt", True)
stream.Write "greek"
stream.Close
ftp.PutFile localFolder & "\" & greek & ".txt", japanese & ".txt"
CheckNoError "PutFile from a Greek local name to a Japanese remote one"
Check fso.FileExists(remoteFolder & "\" & japanese & ".txt"), "the server keeps the Japanese name"
ftp.GetFile japanese & ".txt", localFolder & "\" & emoji & ".txt", True
CheckNoError "GetFile to a local name outside the basic plane"
Check fso.OpenTextFile(localFolder & "\" & emoji & ".txt").ReadAll = "greek", "the download's content"
ftp.RenameFile japanese & ".txt", emoji & ".txt"
CheckNoError "RenameFile to a name with a surrogate pair"
ftp.CreateDirectory greek
ftp.Directory = greek
CheckNoError "CreateDirectory and enter a Greek name"
Check Right(ftp.Directory, Len(greek) + 1) = "/" & greek, "Directory reads the Greek name back: " & ftp.Directory
ftp.Directory = ".."
listed = ""
For Each entry In ftp.Files
    listed = listed & "|" & entry.Filename
Next
Check InStr(listed, "|" & emoji & ".txt") > 0 And InStr(listed, "|" & greek) > 0, "Files lists both names"
Check InStr(ftp.GetDirectoryListing(63), emoji & ".txt") > 0, "GetDirectoryListing shows the name"

ftp.CodePage = 1252
ftp.DeleteFile greek
Check Err.Number = -2147220983 And InStr(Err.Description, "DeleteFile error code: 1113 ") > 0, _
    "a Greek name in code page 1252 is refused: " & Err.Number & " " & Err.Description
Err.Clear
ftp.CodePage = 65001
ftp.DeleteFile emoji & ".txt"
ftp.RemoveDirectory greek
CheckNoError "DeleteFile and RemoveDirectory"
Check Not fso.FolderExists(remoteFolder & "\" & greek), "the Greek folder is gone"
ftp.CloseConnection
On Error GoTo 0

EndSuite
