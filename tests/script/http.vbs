' The HTTP object as a page drives it: URL splitting read back, pages of
' several statuses, and the errors with their numbers, source and texts.

Sub CheckError(number, description, what)
    Check Err.Number = number And Err.Source = "Quorlin.HTTP" And Left(Err.Description, Len(description)) = description, _
        what & " (got " & Err.Number & " " & Err.Source & ": " & Err.Description & ")"
    Err.Clear
End Sub

Dim environment, fso, www, port, http, page, url, stream, x
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
www = environment.Item("QUORLIN_WWW")
port = environment.Item("QUORLIN_HTTP_PORT")
Set stream = fso.CreateTextFile(www & "\vbs.html", True)
stream.Write "<h1>from nginx</h1>" & vbLf
stream.Close

Set http = CreateObject("quorlin.HTTP")
Check http.Version = ".88b", "Version"
Check http.ServerName = "" And http.Path = "", "new object"
url = "  HTTP://Host/Dir/Page?x=1  "
http.URL = url
Check http.ServerName = "Host" And http.Path = "/Dir/Page?x=1", "split " & http.ServerName & " " & http.Path
http.URL = "http://https://host/x"
Check http.ServerName = "host" And http.Path = "/x", "second prefix"
http.URL = "   "
Check http.ServerName = "host", "blanks leave the split alone"
On Error Resume Next
x = http.URL
Check Err.Number = 438, "URL has no reader (got " & Err.Number & ")"
Err.Clear

Set http = CreateObject("quorlin.HTTP")
page = http.GetString
CheckError -2147220500, "No URL set.  Please ensure that the URL property is set.", "no URL"
http.URL = "127.0.0.1:" & port & "/vbs.html"
page = http.GetString
Check Err.Number = 0 And page = "<h1>from nginx</h1>" & vbLf, "page (" & Err.Description & ")"
Err.Clear
http.URL = "127.0.0.1:" & port & "/status/500"
Check http.GetString = "the server failed" & vbLf, "a 500 page is returned"
http.URL = "127.0.0.1:" & port & "/none.html"
Check InStr(http.GetString, "404 Not Found") > 0, "a 404 page is returned"
http.URL = "127.0.0.1:1/vbs.html"
page = http.GetString
CheckError -2147220503, "Error opening request received from remote server.GetString error code: 12029 Message: ", _
    "refused port"
http.URL = "https://127.0.0.1:" & environment.Item("QUORLIN_HTTPS_PORT") & "/vbs.html"
page = http.GetString
Check Err.Number = 0 And page = "<h1>from nginx</h1>" & vbLf, "https (" & Err.Description & ")"
Err.Clear

EndSuite
