' Mirrors a folder of an FTP server into a local folder, subfolders included:
' a task for the Task Scheduler, run each night with
'   cscript //nologo mirror_nightly.vbs server[:port] user password /remote/folder D:\mirror
' Files are replaced only once their new copy is complete; files deleted on
' the server stay in the mirror. Prints one line per run; a failure prints
' the error and ends with exit code 1.
Option Explicit
Dim arguments, server, ftp, started, seconds, fso, count, remote
Set arguments = WScript.Arguments
If arguments.Count <> 5 Then
    WScript.Echo "usage: mirror_nightly.vbs server[:port] user password remote-folder local-folder"
    WScript.Quit 2
End If
Set fso = CreateObject("Scripting.FileSystemObject")
server = Split(arguments(0), ":")

Set ftp = CreateObject("quorlin.FTP")
ftp.URL = server(0)
If UBound(server) > 0 Then ftp.Port = CLng(server(1))
ftp.Username = arguments(1)
ftp.Password = arguments(2)
ftp.Passive = True
ftp.TransferType = 2    ' binary
ftp.Timeout = 120       ' a server that stops answering ends the run, not the night
ftp.CodePage = 65001

started = Timer
On Error Resume Next
ftp.OpenConnection
' GetDirectory wants an absolute remote path: a relative one is taken from
' the login directory here.
remote = arguments(3)
If Err.Number = 0 And Left(remote, 1) <> "/" Then remote = ftp.Directory & "/" & remote
If Err.Number = 0 Then ftp.GetDirectory remote, arguments(4), True, True
If Err.Number <> 0 Then
    WScript.Echo Now & " mirror of " & remote & " failed: " & Err.Description & " (" & Err.Number & ")"
    ftp.CloseConnection
    WScript.Quit 1
End If
ftp.CloseConnection
On Error GoTo 0

count = CountFiles(fso.GetFolder(arguments(4)))
seconds = Timer - started
If seconds < 0 Then seconds = seconds + 86400  ' the run went past midnight
WScript.Echo Now & " mirrored " & remote & " to " & arguments(4) & ": " & count & " files in " & _
    Round(seconds) & " s"

Function CountFiles(folder)
    Dim subfolder
    CountFiles = folder.Files.Count
    For Each subfolder In folder.SubFolders
        CountFiles = CountFiles + CountFiles(subfolder)
    Next
End Function
