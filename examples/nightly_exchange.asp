<%@ Language=VBScript %>
<%
Option Explicit
' The nightly exchange with a partner, run by the site's scheduler (a task
' that requests this page at night): every CSV in the local outbox goes to the
' partner's inbox under a temporary name (the partner never picks up half a
' file) and then into the local "sent" folder; every CSV in the partner's
' outbox comes down with its time and is removed there once it arrived whole.
' One log line per file. In global.asa:
'   Application("FtpServer"), ("FtpPort"), ("FtpUser"), ("FtpPassword")
'   Application("ExchangeFolder"): the local folder holding outbox, sent and inbox
'   Application("PartnerInbox"), ("PartnerOutbox"): the partner's remote folders
Const Overwrite = 16, TemporaryName = 32, Move = 2, KeepTime = 8
Dim ftp, fso, local, sent, fetched, failure, name, lines
sent = 0
fetched = 0
Set fso = Server.CreateObject("Scripting.FileSystemObject")
local = Application("ExchangeFolder")
If Not fso.FolderExists(local & "\sent") Then fso.CreateFolder local & "\sent"

Set ftp = Server.CreateObject("quorlin.FTP")
ftp.URL = Application("FtpServer")
If Application("FtpPort") <> "" Then ftp.Port = CLng(Application("FtpPort"))
ftp.Username = Application("FtpUser")
ftp.Password = Application("FtpPassword")
ftp.Passive = True
ftp.Timeout = 120       ' a partner that stops answering ends the run, not the night

On Error Resume Next
ftp.OpenConnection
If Err.Number = 0 Then
    ftp.PutFiles local & "\outbox\*.csv", Application("PartnerInbox"), Overwrite + TemporaryName
    ' What went before a failure went whole: it is logged and filed as sent.
    For Each name In ftp.TransferredFiles
        If fso.FileExists(local & "\sent\" & name) Then fso.DeleteFile local & "\sent\" & name
        fso.MoveFile local & "\outbox\" & name, local & "\sent\" & name
        lines = lines & "<li>sent " & Server.HTMLEncode(name) & "</li>" & vbCrLf
        sent = sent + 1
    Next
End If
If Err.Number = 0 Then
    ftp.GetFiles Application("PartnerOutbox") & "/*.csv", local & "\inbox", Move + KeepTime
    For Each name In ftp.TransferredFiles
        lines = lines & "<li>fetched " & Server.HTMLEncode(name) & "</li>" & vbCrLf
        fetched = fetched + 1
    Next
End If
If Err.Number <> 0 Then failure = Err.Description & " (" & Err.Number & ")"
ftp.CloseConnection
On Error GoTo 0
%>
<!DOCTYPE html>
<html>
<head><title>Nightly exchange</title></head>
<body>
<ul>
<%= lines %></ul>
<% If failure = "" Then %>
<p class="done"><%= sent %> sent, <%= fetched %> fetched.</p>
<% Else %>
<p class="failed">The exchange stopped: <%= Server.HTMLEncode(failure) %></p>
<% End If %>
</body>
</html>
