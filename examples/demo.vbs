' Opens a connection to the local FTP server, prints what it did, closes it.
Option Explicit
Dim environment, ftp
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
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
ftp.CloseConnection
WScript.Echo "connection closed"
ftp.Password = "not-the-password"
ftp.OpenConnection
WScript.Echo "a refused login raises " & Err.Number & ": " & Err.Description
WScript.Echo "demo done"
WScript.Quit 0
