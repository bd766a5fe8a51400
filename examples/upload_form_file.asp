<%@ Language=VBScript %>
<%
Option Explicit
' Sends a file that the site's upload form has saved on this server on to the
' FTP server. The form's handler saved the file and posts its path as
' "SavedFile"; the server's settings are in global.asa:
'   Application("FtpServer"), ("FtpPort"), ("FtpUser"), ("FtpPassword"),
'   Application("FtpUploadFolder")
Dim ftp, saved, remoteName, failure
saved = Request.Form("SavedFile")
remoteName = Mid(saved, InStrRev(saved, "\") + 1)

Set ftp = Server.CreateObject("quorlin.FTP")
ftp.URL = Application("FtpServer")
If Application("FtpPort") <> "" Then ftp.Port = CLng(Application("FtpPort"))
ftp.Username = Application("FtpUser")
ftp.Password = Application("FtpPassword")
ftp.Passive = True      ' through firewalls and NAT
ftp.Timeout = 30        ' a silent server ends the request, not the worker
ftp.TransferType = 2    ' binary: the file arrives byte for byte

On Error Resume Next
If remoteName = "" Then
    failure = "No file was saved by the form."
Else
    ftp.OpenConnection
    If Err.Number = 0 Then ftp.Directory = Application("FtpUploadFolder")
    If Err.Number = 0 Then ftp.PutFile saved, remoteName
    If Err.Number <> 0 Then failure = Err.Description & " (" & Err.Number & ")"
    ftp.CloseConnection
End If
On Error GoTo 0
%>
<!DOCTYPE html>
<html>
<head><title>Upload</title></head>
<body>
<% If failure = "" Then %>
<p class="done">Uploaded <%= Server.HTMLEncode(remoteName) %> to <%= Server.HTMLEncode(Application("FtpUploadFolder")) %>.</p>
<% Else %>
<p class="failed">The upload failed: <%= Server.HTMLEncode(failure) %></p>
<% End If %>
</body>
</html>
