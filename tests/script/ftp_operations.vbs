' Directory, the remote commands and single-file transfers as an ASP page
' drives them against one real server: literals and variables, On Error
' Resume Next, and the local files through Scripting.FileSystemObject.

' The error raised last: its number, the Quorlin.FTP source, and a description
' that starts with `start`.
Sub CheckError(number, start, what)
    Check Err.Number = number And Err.Source = "Quorlin.FTP" And Left(Err.Description, Len(start)) = start, _
        what & " (got " & Err.Number & " " & Err.Source & ": " & Err.Description & ")"
    Err.Clear
End Sub

Function ReadAll(path)
    Dim stream
    Set stream = fso.OpenTextFile(path, 1)
    If stream.AtEndOfStream Then ReadAll = "" Else ReadAll = stream.ReadAll
    stream.Close
End Function

Sub WriteAll(path, text)
    Dim stream
    Set stream = fso.CreateTextFile(path, True)
    stream.Write text
    stream.Close
End Sub

Dim environment, fso, serverName, workspace, remoteFolder, localFolder, ftp, noConnection, x
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
serverName = environment.Item("QUORLIN_FTP_SERVER_NAME")
workspace = "vbscript-" & serverName
remoteFolder = "Z:" & Replace(environment.Item("QUORLIN_FTP_HOME"), "/", "\") & "\" & workspace
localFolder = environment.Item("QUORLIN_SCRATCH") & "\" & workspace
fso.CreateFolder localFolder
noConnection = "Error getting/setting directory.  No connection open."

Set ftp = CreateObject("quorlin.FTP")
ftp.URL = "127.0.0.1"
ftp.Port = CLng(environment.Item("QUORLIN_FTP_PORT"))
ftp.Username = environment.Item("QUORLIN_FTP_USER")
ftp.Password = environment.Item("QUORLIN_FTP_PASSWORD")
If environment.Item("QUORLIN_FTP_SECURITY") <> "" Then ftp.Security = CLng(environment.Item("QUORLIN_FTP_SECURITY"))
If environment.Item("QUORLIN_FTP_PROTOCOL") <> "" Then ftp.Protocol = CLng(environment.Item("QUORLIN_FTP_PROTOCOL"))
ftp.HostKeyFingerprint = environment.Item("QUORLIN_SFTP_HOST_KEYS")
' A server's refusal: FTP's reply code, or over SFTP the status text alone.
Dim refused
refused = "550"
If ftp.Protocol = 1 Then refused = ""
ftp.Passive = True

On Error Resume Next
x = ftp.Directory
CheckError -2147220979, noConnection, "Directory before opening"
Check Len(noConnection) = 53 And Err.Description = "", "error cleared"
ftp.Directory = "/"
CheckError -2147220979, noConnection, "Directory put before opening"
ftp.DeleteFile "x"
CheckError -2147220983, "Error deleting file from the remote server.DeleteFile error code: ", "DeleteFile never opened"

ftp.OpenConnection
CheckNoError "open"
Dim login
login = ftp.Directory
Check Left(login, 1) = "/", "login directory " & login
ftp.CreateDirectory workspace
CheckNoError "CreateDirectory"
ftp.Directory = workspace
CheckNoError "Directory put relative"
Check ftp.Directory = Replace(login & "/" & workspace, "//", "/"), "server's form " & ftp.Directory
ftp.Directory = "missing folder"
CheckError -2147220989, "Error setting directory." & refused, "missing directory"

' Arguments that are not texts: Null is refused before any call, numbers are converted.
ftp.CreateDirectory Null
Check Err.Number = 94 And Err.Description = "Invalid use of Null", "Null path (got " & Err.Number & ")"
Err.Clear
ftp.CreateDirectory 123
CheckNoError "numeric name"
Check fso.FolderExists(remoteFolder & "\123"), "folder 123 made"
ftp.CreateDirectory 123
CheckError -2147220987, "Error creating directory." & refused, "exists already"

' Transfers, ASCII by default: each server stores CRLF in its own way.
Dim lines, localFile, backFile
lines = "one" & vbCrLf & "two" & vbLf
localFile = localFolder & "\up.txt"
backFile = localFolder & "\back.txt"
WriteAll localFile, lines
ftp.PutFile localFile, "up.txt"
CheckNoError "PutFile"
If Left(serverName, 6) = "vsftpd" Then
    Check ReadAll(remoteFolder & "\up.txt") = lines, "vsftpd stores ASCII unchanged"
Else
    Check ReadAll(remoteFolder & "\up.txt") = "one" & vbLf & "two" & vbLf, serverName & " stores CRLF as LF"
End If
ftp.TransferType = 2
ftp.PutFile localFile, "up.bin"
CheckNoError "PutFile binary"
Check ReadAll(remoteFolder & "\up.bin") = lines, "binary stored unchanged"

ftp.GetFile "up.bin", backFile, False
CheckNoError "GetFile new"
Check ReadAll(backFile) = lines, "binary download exact"
ftp.GetFile "up.bin", backFile, False
CheckError -2147220984, "Error getting file from the remote server.GetFile error code: 80 ", "no overwrite"
WriteAll backFile, "kept"
Dim overwrite
overwrite = True
ftp.GetFile "missing.bin", backFile, overwrite
CheckError -2147220984, "Error getting file from the remote server." & refused, "missing remote"
Check ReadAll(backFile) = "kept", "a failed download keeps the file"
ftp.GetFile "up.bin", backFile, overwrite
CheckNoError "GetFile overwrite"
Check ReadAll(backFile) = lines, "replaced"
Check fso.GetFolder(localFolder).Files.Count = 2, "no temporary file left"
ftp.PutFile localFolder & "\absent.txt", "absent.txt"
CheckError -2147220985, "Error putting file to remote server.PutFile error code: 2 ", "PutFile missing local"

' Rename, delete and remove.
ftp.RenameFile "up.txt", "123/moved.txt"
CheckNoError "RenameFile into a folder"
Check fso.FileExists(remoteFolder & "\123\moved.txt"), "moved"
ftp.RenameFile "up.txt", "again.txt"
CheckError -2147220986, "Error renaming file/directory." & refused, "rename missing"
ftp.RemoveDirectory "123"
CheckError -2147220980, "Error removing directory." & refused, "remove non-empty"
ftp.DeleteFile "123/moved.txt"
CheckNoError "DeleteFile"
ftp.DeleteFile "123/moved.txt"
CheckError -2147220983, "Error deleting file from the remote server." & refused, "delete missing"
ftp.RemoveDirectory "123"
CheckNoError "RemoveDirectory"
Check Not fso.FolderExists(remoteFolder & "\123"), "removed"

ftp.CloseConnection
x = ftp.Directory
CheckError -2147220979, noConnection, "Directory after closing"
ftp.GetFile "up.bin", backFile, True
CheckError -2147220984, "Error getting file from the remote server.GetFile error code: ", "GetFile after closing"
Check ReadAll(backFile) = lines, "closed: local file untouched"
Set ftp = Nothing

EndSuite
