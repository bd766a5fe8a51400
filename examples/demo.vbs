' Connects to the local FTP server, moves a file up and back down, renames
' and deletes it, and prints what it did.
Option Explicit
Dim environment, fso, ftp, folder, original, copy, stream
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
WScript.Echo "remote directory: " & ftp.Directory

original = folder & "\hello.txt"
copy = folder & "\hello-back.txt"
Set stream = fso.CreateTextFile(original, True)
stream.Write "Hello from quorlin." & vbCrLf
stream.Close
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
ftp.CloseConnection
WScript.Echo "connection closed"
ftp.Password = "not-the-password"
ftp.OpenConnection
WScript.Echo "a refused login raises " & Err.Number & ": " & Err.Description
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
