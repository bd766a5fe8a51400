' GetDirectory and PutDirectory as a page calls them: literals and variables
' for the flags, the tree compared through Scripting.FileSystemObject.

Sub WriteAll(path, text)
    Dim stream
    Set stream = fso.CreateTextFile(path, True)
    stream.Write text
    stream.Close
End Sub

Function ReadAll(path)
    Dim stream
    Set stream = fso.OpenTextFile(path, 1)
    If stream.AtEndOfStream Then ReadAll = "" Else ReadAll = stream.ReadAll
    stream.Close
End Function

Dim environment, fso, workspace, localFolder, remoteFolder, ftp, home, missing, overwrite, traverse
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
workspace = "vbs-tree-" & environment.Item("QUORLIN_FTP_SERVER_NAME")
localFolder = environment.Item("QUORLIN_SCRATCH") & "\" & workspace
remoteFolder = "Z:" & Replace(environment.Item("QUORLIN_FTP_HOME"), "/", "\") & "\" & workspace
fso.CreateFolder localFolder
fso.CreateFolder localFolder & "\up"
fso.CreateFolder localFolder & "\up\sub"
WriteAll localFolder & "\up\a.txt", "alpha"
WriteAll localFolder & "\up\sub\b.txt", "beta"

Set ftp = CreateObject("quorlin.FTP")
ftp.URL = "127.0.0.1"
ftp.Port = CLng(environment.Item("QUORLIN_FTP_PORT"))
ftp.Username = environment.Item("QUORLIN_FTP_USER")
ftp.Password = environment.Item("QUORLIN_FTP_PASSWORD")
If environment.Item("QUORLIN_FTP_SECURITY") <> "" Then ftp.Security = CLng(environment.Item("QUORLIN_FTP_SECURITY"))
If environment.Item("QUORLIN_FTP_PROTOCOL") <> "" Then ftp.Protocol = CLng(environment.Item("QUORLIN_FTP_PROTOCOL"))
ftp.HostKeyFingerprint = environment.Item("QUORLIN_SFTP_HOST_KEYS")
ftp.Passive = True
ftp.TransferType = 2
ftp.OpenConnection
ftp.CreateDirectory workspace
ftp.Directory = workspace
home = ftp.Directory

On Error Resume Next
ftp.PutDirectory localFolder & "\up", home, True
CheckNoError "PutDirectory"
Check ReadAll(remoteFolder & "\a.txt") = "alpha" And ReadAll(remoteFolder & "\sub\b.txt") = "beta", "tree stored"
Check ftp.Directory = home, "Directory restored after the upload"

overwrite = False
traverse = True
ftp.GetDirectory home, localFolder & "\down", overwrite, traverse
CheckNoError "GetDirectory with variables"
Check ReadAll(localFolder & "\down\a.txt") = "alpha" And ReadAll(localFolder & "\down\sub\b.txt") = "beta", "tree fetched"
ftp.GetDirectory home, localFolder & "\down", overwrite, traverse
Check Err.Number = -2147220984 And InStr(Err.Description, "GetFile error code: 80 ") > 0, _
    "overwrite False stops at an existing file (got " & Err.Number & ")"
Err.Clear
ftp.Directory = home
WriteAll localFolder & "\down\a.txt", "old"
ftp.GetDirectory home, localFolder & "\down", True, False
CheckNoError "GetDirectory with literals"
Check ReadAll(localFolder & "\down\a.txt") = "alpha", "overwrite True replaces"

missing = localFolder & "\missing"
ftp.PutDirectory missing, home & "/sub", True
Check Err.Number = -2147220978 And Err.Source = "Quorlin.FTP" And Err.Description = "Folder :" & missing & _
    " does not exist.PutDirectory error code: 3 Message: Path not found." & vbCrLf, _
    "missing local folder (got " & Err.Number & ": " & Err.Description & ")"
Err.Clear
Check ftp.Directory = home, "Directory back where it started"
ftp.CloseConnection

EndSuite
