' The listing as a page walks it: Files with For Each, the default member,
' keyed lookups and their errors, and GetDirectoryListing's text.

Sub CheckError(number, source, description, what)
    Check Err.Number = number And Err.Source = source And Err.Description = description, _
        what & " (got " & Err.Number & " " & Err.Source & ": " & Err.Description & ")"
    Err.Clear
End Sub

Dim environment, fso, serverName, workspace, localFolder, ftp, files, entry, names, x, stream
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
serverName = environment.Item("QUORLIN_FTP_SERVER_NAME")
workspace = "vbs-listing-" & serverName
localFolder = environment.Item("QUORLIN_SCRATCH") & "\" & workspace
fso.CreateFolder localFolder
Set stream = fso.CreateTextFile(localFolder & "\beta.txt", True)
stream.Write "12345"
stream.Close

' A collection made by a client stays empty.
Set files = CreateObject("quorlin.FTPFiles")
Check files.Count = 0, "new collection is empty"
names = ""
For Each entry In files
    names = names & entry.Filename
Next
Check names = "", "nothing to walk"
On Error Resume Next
Set entry = files(1)
CheckError 9, "Quorlin.FTPFiles", "Subscript out of range", "position on an empty collection"
On Error GoTo 0

Set ftp = CreateObject("quorlin.FTP")
ftp.URL = "127.0.0.1"
ftp.Port = CLng(environment.Item("QUORLIN_FTP_PORT"))
ftp.Username = environment.Item("QUORLIN_FTP_USER")
ftp.Password = environment.Item("QUORLIN_FTP_PASSWORD")
If environment.Item("QUORLIN_FTP_SECURITY") <> "" Then ftp.Security = CLng(environment.Item("QUORLIN_FTP_SECURITY"))
If environment.Item("QUORLIN_FTP_PROTOCOL") <> "" Then ftp.Protocol = CLng(environment.Item("QUORLIN_FTP_PROTOCOL"))
ftp.HostKeyFingerprint = environment.Item("QUORLIN_SFTP_HOST_KEYS")
ftp.Proxy = environment.Item("QUORLIN_FTP_PROXY")
ftp.ProxyUsername = environment.Item("QUORLIN_FTP_PROXY_USER")
ftp.ProxyPassword = environment.Item("QUORLIN_FTP_PROXY_PASSWORD")
ftp.Passive = True

On Error Resume Next
Set files = ftp.Files
Check Err.Number = -2147220988 And Err.Source = "Quorlin.FTP" And _
    Left(Err.Description, 57) = "Error retrieving directory listing.(1)GetDirectoryListing", _
    "Files before opening (got " & Err.Number & ": " & Err.Description & ")"
Err.Clear
x = ftp.GetDirectoryListing(3)
Check Err.Number = -2147220988, "GetDirectoryListing before opening"
Err.Clear
On Error GoTo 0

ftp.OpenConnection
ftp.CreateDirectory workspace
ftp.Directory = workspace
Check ftp.GetDirectoryListing(63) = "", "empty directory, empty text"
Check ftp.Files.Count = 0, "empty directory, empty collection"
ftp.CreateDirectory "alpha"
ftp.TransferType = 2
ftp.PutFile localFolder & "\beta.txt", "beta.txt"

Set files = ftp.Files
Check files.Count = 2, "two entries"
names = ""
For Each entry In files
    names = names & entry.Filename & "|"
Next
Check names = files(1).Filename & "|" & files(2).Filename & "|", "For Each walks in order: " & names
Check files.Item("BETA.TXT").Filename = "beta.txt", "key without regard to case"
Check files("beta.txt").FileSize = 5, "size"
Check files("beta.txt").FileType = 2 And files("alpha").FileType = 1, "types"
Check Len(files("alpha").LastWriteTime) = 21 And Right(files("alpha").LastWriteTime, 2) = "  ", "time text"
Dim position
position = 2
Check files.Item(position).ID = files(2).Filename, "a variable position"

On Error Resume Next
Set entry = files(3)
CheckError 9, "Quorlin.FTPFiles", "Subscript out of range", "position past the end"
Set entry = files("gamma")
CheckError 5, "Quorlin.FTPFiles", "Invalid procedure call or argument", "missing key"
Set entry = files("2")
CheckError 5, "Quorlin.FTPFiles", "Invalid procedure call or argument", "a text of digits is a key"
On Error GoTo 0

' Entries are shared: a changed Filename shows through the collection, the key stays.
Set entry = files("beta.txt")
entry.Filename = "renamed"
entry.ID = "other"
Check files("beta.txt").Filename = "renamed" And files("beta.txt").ID = "beta.txt", "shared entry"

' The text listing: flags by value and through a variable (passed by reference).
Dim flags, listing, lines
Check ftp.GetDirectoryListing(1) = "beta.txt" & vbCrLf, "files only"
Check ftp.GetDirectoryListing(2) = "alpha" & vbCrLf, "directories only"
flags = 3
listing = ftp.GetDirectoryListing(flags)
Check flags = 3, "flags are not written"
Check listing = files(1).ID & vbCrLf & files(2).ID & vbCrLf, "flags 3: " & listing
flags = 23
lines = Split(ftp.GetDirectoryListing(flags), vbCrLf)
Check UBound(lines) = 2 And lines(2) = "", "two lines and a final line end"
Check Mid(lines(0), 22, 15) = Left(CStr(files(1).FileSize) & Space(15), 15), "size column " & lines(0)
Check Mid(lines(0), 37) = files(1).ID, "name after the columns"
Check ftp.GetDirectoryListing(60) = "", "no entry flag, no line"
Check ftp.Directory <> "", "the connection works after listing"

ftp.RemoveDirectory "alpha"
ftp.DeleteFile "beta.txt"
ftp.Directory = ".."
ftp.RemoveDirectory workspace
ftp.CloseConnection

EndSuite
