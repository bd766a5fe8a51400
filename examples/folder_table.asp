<%@ Language=VBScript CodePage=65001 %>
<%
Option Explicit
' Lists a folder of the FTP server as an HTML table: the folder comes from the
' query string (?folder=/pub), the server's settings from global.asa:
'   Application("FtpServer"), ("FtpPort"), ("FtpUser"), ("FtpPassword")
Response.CharSet = "utf-8"
Dim ftp, folder, entry, failure
folder = Request.QueryString("folder")
If folder = "" Then folder = "/"

Set ftp = Server.CreateObject("quorlin.FTP")
ftp.URL = Application("FtpServer")
If Application("FtpPort") <> "" Then ftp.Port = CLng(Application("FtpPort"))
ftp.Username = Application("FtpUser")
ftp.Password = Application("FtpPassword")
ftp.Passive = True
ftp.Timeout = 20
ftp.CodePage = 65001    ' names in any language, as most servers store them
%>
<!DOCTYPE html>
<html>
<head><meta charset="utf-8"><title><%= Server.HTMLEncode(folder) %></title></head>
<body>
<h1><%= Server.HTMLEncode(folder) %></h1>
<%
On Error Resume Next
ftp.OpenConnection
If Err.Number = 0 Then ftp.Directory = folder
If Err.Number <> 0 Then
    failure = Err.Description
    Err.Clear
Else
    Response.Write "<table>" & vbCrLf & "<tr><th>Name</th><th>Kind</th><th>Size</th><th>Changed</th></tr>" & vbCrLf
    For Each entry In ftp.Files
        If entry.Filename <> "." And entry.Filename <> ".." Then
            Response.Write "<tr><td>" & Server.HTMLEncode(entry.Filename) & "</td>"
            If entry.FileType = 1 Then
                Response.Write "<td>folder</td><td></td>"
            Else
                Response.Write "<td>file</td><td>" & entry.FileSize & "</td>"
            End If
            Response.Write "<td>" & Trim(entry.LastWriteTime) & "</td></tr>" & vbCrLf
        End If
    Next
    If Err.Number <> 0 Then failure = Err.Description
    Response.Write "</table>" & vbCrLf
End If
ftp.CloseConnection
On Error GoTo 0
If failure <> "" Then Response.Write "<p class=""failed"">" & Server.HTMLEncode(failure) & "</p>" & vbCrLf
%>
</body>
</html>
