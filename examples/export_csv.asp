<%@ Language=VBScript %>
<%
Option Explicit
' Makes a CSV export in the page and stores it on the FTP server without a
' local file (no write rights, no clean-up, no race between two requests),
' then shows what the server has: the file's size and time. In global.asa:
'   Application("FtpServer"), ("FtpPort"), ("FtpUser"), ("FtpPassword"),
'   Application("FtpUploadFolder")
Dim ftp, csv, remoteName, size, changed, failure

' The page's data, one line each (from a database in a real site).
Sub AddRow(order, customer, total)
    csv = csv & order & ";" & customer & ";" & total & vbCrLf
End Sub
AddRow "order", "customer", "total"
AddRow "1001", "M" & Chr(252) & "ller", "12.50"
AddRow "1002", "Smith & Sons", "7.25"
remoteName = "orders.csv"

Set ftp = Server.CreateObject("quorlin.FTP")
ftp.URL = Application("FtpServer")
If Application("FtpPort") <> "" Then ftp.Port = CLng(Application("FtpPort"))
ftp.Username = Application("FtpUser")
ftp.Password = Application("FtpPassword")
ftp.Passive = True
ftp.Timeout = 30

On Error Resume Next
ftp.OpenConnection
If Err.Number = 0 Then ftp.Directory = Application("FtpUploadFolder")
' UTF-8 without a byte-order mark; give a code page (1252, ...) for a partner that wants one.
If Err.Number = 0 Then ftp.PutText csv, remoteName
If Err.Number = 0 Then size = ftp.FileSize(remoteName)
If Err.Number = 0 Then changed = ftp.FileTime(remoteName)
If Err.Number <> 0 Then failure = Err.Description & " (" & Err.Number & ")"
ftp.CloseConnection
On Error GoTo 0
%>
<!DOCTYPE html>
<html>
<head><title>Export</title></head>
<body>
<% If failure = "" Then %>
<p class="done">Exported <%= Server.HTMLEncode(remoteName) %>: <%= size %> bytes, changed <%= FormatDateTime(changed, vbGeneralDate) %>.</p>
<% Else %>
<p class="failed">The export failed: <%= Server.HTMLEncode(failure) %></p>
<% End If %>
</body>
</html>
