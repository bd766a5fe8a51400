<%@ Language=VBScript %>
<%
Option Explicit
' Sends a file the site's upload form saved on to an FTP server that requires
' TLS, with names, password and data encrypted. In global.asa:
'   Application("FtpsServer"), ("FtpsPort"), ("FtpsUser"), ("FtpsPassword"), ("FtpsFolder")
'   Application("FtpsFingerprint"): empty for a server whose certificate the
'     machine trusts; the SHA-256 fingerprint of a self-signed server's own
'     certificate (the error text names it) to accept that one alone.
Dim ftp, saved, remoteName, failure
saved = Request.Form("SavedFile")
remoteName = Mid(saved, InStrRev(saved, "\") + 1)

Set ftp = Server.CreateObject("quorlin.FTP")
ftp.URL = Application("FtpsServer")
If Application("FtpsPort") <> "" Then ftp.Port = CLng(Application("FtpsPort"))
ftp.Username = Application("FtpsUser")
ftp.Password = Application("FtpsPassword")
ftp.Security = 1        ' explicit TLS on the FTP port; 2 for implicit TLS (port 990)
ftp.CertificateFingerprint = Application("FtpsFingerprint")
ftp.Passive = True
ftp.Timeout = 30
ftp.TransferType = 2

On Error Resume Next
ftp.OpenConnection
If Err.Number = 0 Then ftp.Directory = Application("FtpsFolder")
If Err.Number = 0 Then ftp.PutFile saved, remoteName
If Err.Number <> 0 Then failure = Err.Description & " (" & Err.Number & ")"
ftp.CloseConnection
On Error GoTo 0
%>
<!DOCTYPE html>
<html>
<head><title>Upload over FTPS</title></head>
<body>
<% If failure = "" Then %>
<p class="done">Uploaded <%= Server.HTMLEncode(remoteName) %> over TLS.</p>
<% Else %>
<p class="failed">The upload failed: <%= Server.HTMLEncode(failure) %></p>
<% End If %>
</body>
</html>
