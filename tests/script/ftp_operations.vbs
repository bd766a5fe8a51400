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

Sub Configure(client)
    client.URL = "127.0.0.1"
    client.Port = CLng(environment.Item("QUORLIN_FTP_PORT"))
    client.Username = environment.Item("QUORLIN_FTP_USER")
    client.Password = environment.Item("QUORLIN_FTP_PASSWORD")
    If environment.Item("QUORLIN_FTP_SECURITY") <> "" Then client.Security = CLng(environment.Item("QUORLIN_FTP_SECURITY"))
    If environment.Item("QUORLIN_FTP_PROTOCOL") <> "" Then client.Protocol = CLng(environment.Item("QUORLIN_FTP_PROTOCOL"))
    client.HostKeyFingerprint = environment.Item("QUORLIN_SFTP_HOST_KEYS")
    client.Proxy = environment.Item("QUORLIN_FTP_PROXY")
    client.ProxyUsername = environment.Item("QUORLIN_FTP_PROXY_USER")
    client.ProxyPassword = environment.Item("QUORLIN_FTP_PROXY_PASSWORD")
End Sub

Set ftp = CreateObject("quorlin.FTP")
Configure ftp
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

' What a page asks of a remote file without moving it: a 5 GiB file that takes
' no room on the server, a file with a known time, a folder, a missing name.
Dim fixtures, dated, files
fixtures = Replace(login & "/fixtures/", "//", "/")
dated = Split(environment.Item("QUORLIN_DATED_LOCAL"))
Check ftp.FileSize(fixtures & "big.bin") = 5368709120, "FileSize beyond 4 GiB"
Check ftp.FileTime(fixtures & "dated.txt") = DateSerial(dated(0), dated(1), dated(2)) + _
    TimeSerial(dated(3), dated(4), dated(5)), "FileTime in local time"
Check ftp.FileExists(fixtures & "big.bin") And ftp.FileExists(login) And Not ftp.FileExists("missing.bin"), _
    "FileExists: a file, a folder, a missing name"
Check ftp.Directory = Replace(login & "/" & workspace, "//", "/"), "FileExists of a folder comes back"
x = ftp.FileSize("missing.bin")
CheckError -2147220977, "Error getting file size from the remote server." & refused, "FileSize of a missing name"
x = ftp.FileTime("missing.bin")
CheckError -2147220976, "Error getting file time from the remote server." & refused, "FileTime of a missing name"
x = ftp.FileExists("two" & vbCrLf & "DELE up.bin")
CheckError -2147220975, "Error reading remote file information.FileExists error code: 87 ", "a name that breaks the line"
ftp.Directory = fixtures
Set files = ftp.Files
Check files("big.bin").Size = 5368709120 And files("dated.txt").Size = 5, "Size of listed files"
Check Year(files("dated.txt").Modified) = CInt(dated(0)) And Month(files("dated.txt").Modified) = CInt(dated(1)), _
    "Modified of a listed file"
ftp.Directory = Replace(login & "/" & workspace, "//", "/")

' Text without a local file, always stored in binary type: its line ends stay.
ftp.TransferType = 1
Dim csv
csv = "id;name" & vbCrLf & "1;caf" & Chr(233) & vbLf
ftp.PutText csv, "report one.csv"
CheckNoError "PutText"
Check ReadAll(remoteFolder & "\report one.csv") = "id;name" & vbCrLf & "1;caf" & Chr(195) & Chr(169) & vbLf, _
    "UTF-8 without a byte-order mark"
Check ftp.FileSize("report one.csv") = Len(csv) + 1 And ftp.FileExists("report one.csv"), "a name with a blank"
Check ftp.GetText("report one.csv") = csv, "GetText gives back what PutText stored"
ftp.PutText csv, "latin.csv", 1252
Check ftp.FileSize("latin.csv") = Len(csv) And ftp.GetText("latin.csv", 1252) = csv, "code page 1252"
x = ftp.GetText("latin.csv")
CheckError -2147220973, "Error getting text from the remote server.GetText error code: 1113 ", "bytes that are no UTF-8"
x = ftp.GetText(fixtures & "big.bin")
CheckError -2147220973, "Error getting text from the remote server.GetText error code: 8 ", "5 GiB are no text"
ftp.PutText "", "empty.txt"
Check ftp.FileSize("empty.txt") = 0 And ftp.GetText("empty.txt") = "", "an empty text"
Dim wide
Set wide = fso.CreateTextFile(remoteFolder & "\wide.txt", True, True)
wide.Write "wide " & Chr(233)
wide.Close
Check ftp.GetText("wide.txt") = "wide " & Chr(233), "a UTF-16 byte-order mark"
ftp.PutText csv, "x.csv", 12345
CheckError 5, "", "a code page the system lacks"
ftp.TransferType = 2

' Resumed transfers: a local or remote file cut short is completed from where it ends.
Dim whole, partFile
whole = String(150000, "a") & String(150000, "b")
partFile = localFolder & "\part.bin"
WriteAll localFolder & "\whole.bin", whole
ftp.PutFile localFolder & "\whole.bin", "whole.bin"
WriteAll partFile, Left(whole, 123457)
ftp.ResumeGetFile "whole.bin", partFile
CheckNoError "ResumeGetFile"
Check ReadAll(partFile) = whole, "the rest of the remote file appended"
ftp.ResumeGetFile "whole.bin", partFile
ftp.ResumeGetFile "whole.bin", localFolder & "\fresh.bin"
CheckNoError "ResumeGetFile of a whole and of a missing file"
Check ReadAll(partFile) = whole And ReadAll(localFolder & "\fresh.bin") = whole, "nothing added, all fetched"
WriteAll partFile, whole & "x"
ftp.ResumeGetFile "whole.bin", partFile
CheckError -2147220972, "Error resuming file from the remote server.ResumeGetFile error code: 38 ", "local file longer"
Check ReadAll(partFile) = whole & "x", "the longer local file stays"
ftp.PutText Left(whole, 98765), "resumed.bin"
ftp.ResumePutFile localFolder & "\whole.bin", "resumed.bin"
CheckNoError "ResumePutFile"
ftp.ResumePutFile localFolder & "\whole.bin", "new.bin"
CheckNoError "ResumePutFile of a missing remote file"
Check ReadAll(remoteFolder & "\resumed.bin") = whole And ReadAll(remoteFolder & "\new.bin") = whole, "uploads completed"
ftp.ResumePutFile partFile, "whole.bin"
CheckNoError "ResumePutFile of a longer local file"
Check ReadAll(remoteFolder & "\whole.bin") = whole & "x", "its last byte added"
WriteAll partFile, "ab"
ftp.ResumePutFile partFile, "whole.bin"
CheckError -2147220971, "Error resuming file to the remote server.ResumePutFile error code: 38 ", "remote file longer"

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

' The session log: two objects append to one file, line by line, and neither
' the password nor a line of the other's is ever cut into.
Dim logPath, first, second, logText, logLine, shape, numbers(1), order, wanted
Set first = CreateObject("quorlin.FTP")
Set second = CreateObject("quorlin.FTP")
first.LogFile = localFolder & "\no folder\session.log"
CheckError -2147220967, "Error opening the log file.LogFile error code: 3 ", "log in a missing folder refused"
Check first.LogFile = "", "refused log not kept"
logPath = localFolder & "\session.log"
Configure first
Configure second
For Each x In Array(first, second)
    x.TransferType = 2
    x.Passive = True
Next
first.LogFile = logPath
second.LogFile = logPath
CheckNoError "LogFile set"
Check second.LogFile = logPath, "LogFile read back"
first.OpenConnection
second.OpenConnection
first.Directory = workspace
second.Directory = workspace
first.PutFile localFile, "logged.txt"
second.GetFile "logged.txt", localFolder & "\logged.txt", True
CheckNoError "transfers logged"
first.GetFile "missing-logged.txt", localFolder & "\missing.txt", True
Check Err.Number = -2147220984, "missing file logged as failed"
Err.Clear
first.CloseConnection
second.CloseConnection
first.LogFile = ""
second.LogFile = ""
Check first.LogFile = "", "LogFile cleared"
logText = ReadAll(logPath)
Set shape = New RegExp
shape.Pattern = "^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\d+:\d+) [<>=-] ."
numbers(0) = ""
numbers(1) = ""
order = ""
For Each logLine In Split(logText, vbCrLf)
    If logLine = "" Then
    ElseIf Not shape.Test(logLine) Then
        Check False, "log line whole: " & logLine
    Else
        x = shape.Execute(logLine)(0).SubMatches(0)
        If numbers(0) = "" Then numbers(0) = x
        If numbers(1) = "" And x <> numbers(0) Then numbers(1) = x
        ' The members in the order both objects called them.
        If InStr(logLine, "= OpenConnection begins") + InStr(logLine, "= PutFile begins") + _
           InStr(logLine, "= GetFile begins") > 0 Then order = order & x & " "
    End If
Next
Check numbers(1) <> "", "two objects in the log"
Check order = numbers(0) & " " & numbers(1) & " " & numbers(0) & " " & numbers(1) & " " & numbers(0) & " ", _
    "members in the order called: " & order
Check InStr(logText, environment.Item("QUORLIN_FTP_PASSWORD")) = 0, "no password in the log"
If environment.Item("QUORLIN_FTP_PROXY_PASSWORD") <> "" Then
    Check InStr(logText, environment.Item("QUORLIN_FTP_PROXY_PASSWORD")) = 0, "no proxy password in the log"
End If
wanted = "= OpenConnection ended in |= PutFile ended in |= GetFile failed in |" & _
    "0x80040208 Error getting file from the remote server.|= Directory (set) ended in |"
If environment.Item("QUORLIN_FTP_PROTOCOL") = "1" Then
    wanted = wanted & "- connected to 127.0.0.1 |- server banner: SSH-2.0-|- key exchange: |" & _
        "- cipher (to server): |- MAC (from server): |: accepted, it is pinned|- login by password: accepted|" & _
        "- open (write, truncate) /|- write bytes 0 to 9 (9 bytes) in |- open (read) /|" & _
        "- read bytes 0 to 9 (9 bytes) in |: status 2 (No such file)"
ElseIf environment.Item("QUORLIN_FTP_SECURITY") <> "" Then
    wanted = wanted & "- connected to 127.0.0.1 |> USER " & environment.Item("QUORLIN_FTP_USER") & _
        "|> PASS ****|< 230|- TLS negotiated: TLS 1.|- certificate subject: |- certificate SHA-256 fingerprint: |" & _
        "- certificate accepted by the system's check|> STOR logged.txt|> RETR logged.txt|" & _
        "- data connection to |- data connection closed: 9 bytes in |< 226"
Else
    wanted = wanted & "- connecting to 127.0.0.1 port |- FtpSetCurrentDirectory " & workspace & _
        "|- FtpOpenFile (write) logged.txt|- transfer closed: 9 bytes in |< 226"
End If
For Each x In Split(wanted, "|")
    Check InStr(logText, x) > 0, "log holds " & x
Next

EndSuite
