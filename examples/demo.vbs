' Connects to the local FTP server, moves a file up and back down, uploads a
' small tree, lists it, downloads it back and compares it, then fetches a page
' from the local web server, printing what it did.
Option Explicit
Dim environment, fso, ftp, http, folder, original, copy, stream, home, entry, page, lines
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = environment.Item("QUORLIN_SCRATCH")
Set ftp = CreateObject("quorlin.FTP")
WScript.Echo "quorlin.FTP version " & ftp.Version
ftp.URL = "127.0.0.1"
ftp.Port = CLng(environment.Item("QUORLIN_FTP_PORT"))
ftp.Username = environment.Item("QUORLIN_FTP_USER")
ftp.Password = environment.Item("QUORLIN_FTP_PASSWORD")
ftp.Passive = True
On Error Resume Next
ftp.OpenConnection
If Err.Number <> 0 Then
    WScript.Echo "OpenConnection failed: " & Err.Number & " " & Err.Source & ": " & Err.Description
    WScript.Quit 1
End If
WScript.Echo "connected to " & ftp.URL & ":" & ftp.Port & " as " & ftp.Username & " (passive)"
home = ftp.Directory
WScript.Echo "remote directory: " & home

' One file up, down, renamed and deleted.
original = folder & "\hello.txt"
copy = folder & "\hello-back.txt"
WriteText original, "Hello from quorlin." & vbCrLf
ftp.TransferType = 2
ftp.PutFile original, "hello.txt"
Step "uploaded " & original & " as hello.txt (binary)"
ftp.GetFile "hello.txt", copy, True
Step "downloaded hello.txt to " & copy & ": " & fso.GetFile(copy).Size & " bytes"
ftp.RenameFile "hello.txt", "hello-renamed.txt"
Step "renamed hello.txt to hello-renamed.txt"
ftp.GetFile "hello.txt", copy, True
WScript.Echo "downloading the old name now fails and keeps the local copy: " & Err.Description & _
    " (" & fso.GetFile(copy).Size & " bytes still there)"
Err.Clear
ftp.DeleteFile "hello-renamed.txt"
Step "deleted hello-renamed.txt"

' A small tree up, listed, and back down.
fso.CreateFolder folder & "\site"
fso.CreateFolder folder & "\site\images"
WriteText folder & "\site\index.html", "<h1>quorlin</h1>" & vbCrLf
WriteText folder & "\site\notes.txt", "two files and a folder" & vbCrLf
WriteText folder & "\site\images\logo.txt", "(a logo)" & vbCrLf
ftp.CreateDirectory "site"
Step "created the remote directory site"
ftp.PutDirectory folder & "\site", home & "/site", True
Step "uploaded the tree " & folder & "\site to " & home & "/site"
ftp.Directory = "site"
WScript.Echo "GetDirectoryListing(23) of site (write time, size, name):"
WScript.Echo ftp.GetDirectoryListing(23)
WScript.Echo "Files of site, walked with For Each:"
For Each entry In ftp.Files
    If entry.FileType = 1 Then
        WScript.Echo "  " & entry.Filename & " (directory)"
    Else
        WScript.Echo "  " & entry.Filename & " (" & entry.FileSize & " bytes)"
    End If
Next
ftp.Directory = home
ftp.GetDirectory home & "/site", folder & "\site-back", False, True
Step "downloaded it back to " & folder & "\site-back; the remote directory is again " & ftp.Directory
If SameText(folder & "\site\index.html", folder & "\site-back\index.html") And _
   SameText(folder & "\site\notes.txt", folder & "\site-back\notes.txt") And _
   SameText(folder & "\site\images\logo.txt", folder & "\site-back\images\logo.txt") Then
    WScript.Echo "the downloaded tree equals the uploaded one"
Else
    WScript.Echo "the downloaded tree differs"
    WScript.Quit 1
End If
ftp.CloseConnection
WScript.Echo "connection closed"
ftp.Password = "not-the-password"
ftp.OpenConnection
WScript.Echo "a refused login raises " & Err.Number & ": " & Err.Description
Err.Clear

' A page from the local web server.
Set http = CreateObject("quorlin.HTTP")
http.URL = "http://127.0.0.1:" & environment.Item("QUORLIN_HTTP_PORT") & "/index.html"
page = http.GetString
Step "fetched http://" & http.ServerName & http.Path & ": " & Len(page) & " characters"
lines = Split(page, vbLf)
WScript.Echo "its first line: " & lines(0)
WScript.Echo "demo done"
WScript.Quit 0

' Prints what a step did, or why it failed and stops.
Sub Step(what)
    If Err.Number <> 0 Then
        WScript.Echo "failed: " & Err.Number & " " & Err.Source & ": " & Err.Description
        WScript.Quit 1
    End If
    WScript.Echo what
End Sub

Sub WriteText(path, text)
    Dim file
    Set file = fso.CreateTextFile(path, True)
    file.Write text
    file.Close
End Sub

Function SameText(a, b)
    SameText = fso.OpenTextFile(a, 1).ReadAll = fso.OpenTextFile(b, 1).ReadAll
End Function
