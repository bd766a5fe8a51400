<%@ Language=VBScript %>
<%
Option Explicit
' Sends a file the site's upload form saved on to an SFTP server (SSH), logged
' in with a private key. In global.asa:
'   Application("SftpServer"), ("SftpPort"), ("SftpUser"), ("SftpFolder")
'   Application("SftpHostKey"): the server's host key fingerprint, "SHA256:..."
'     as `ssh-keygen -lf` prints it on the server (checked there, out of band);
'     until it is set, the error text names the key the server shows
'   Application("SftpKeyFile"), ("SftpKeyPassphrase"): the private key (no
'     public key file is needed beside it) and its passphrase, if any; the
'     site's identity needs read access to the file, nobody else should have it
Dim ftp, saved, remoteName, failure
saved = Request.Form("SavedFile")
remoteName = Mid(saved, InStrRev(saved, "\") + 1)

Set ftp = Server.CreateObject("quorlin.FTP")
ftp.Protocol = 1        ' SFTP; Port follows it (22) unless set
ftp.URL = Application("SftpServer")
If Application("SftpPort") <> "" Then ftp.Port = CLng(Application("SftpPort"))
ftp.Username = Application("SftpUser")
ftp.HostKeyFingerprint = Application("SftpHostKey")
ftp.PrivateKeyFile = Application("SftpKeyFile")
ftp.PrivateKeyPassphrase = Application("SftpKeyPassphrase")
ftp.Timeout = 30
ftp.TransferType = 2

On Error Resume Next
ftp.OpenConnection
If Err.Number = 0 Then ftp.Directory = Application("SftpFolder")
If Err.Number = 0 Then ftp.PutFile saved, remoteName
If Err.Number <> 0 Then failure = Err.Description & " (" & Err.Number & ")"
ftp.CloseConnection
On Error GoTo 0
%>
<!DOCTYPE html>
<html>
<head><title>Upload over SFTP</title></head>
<body>
<% If failure = "" Then %>
<p class="done">Uploaded <%= Server.HTMLEncode(remoteName) %> over SFTP.</p>
<% Else %>
<p class="failed">The upload failed: <%= Server.HTMLEncode(failure) %></p>
<% End If %>
</body>
</html>
