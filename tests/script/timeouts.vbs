' The time limits and the HTTP status from VBScript, through the default
' (second) interfaces, against the stall server (QUORLIN_STALL_PORT).

Dim environment, stall, ftp, http, started, took, body
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
stall = CLng(environment.Item("QUORLIN_STALL_PORT"))

Set ftp = CreateObject("quorlin.FTP")
Check ftp.Timeout = 0, "FTP Timeout starts at 0"
On Error Resume Next
ftp.Timeout = -1
Check Err.Number = 5 And Err.Source = "Quorlin.FTP", "a negative limit is refused (" & Err.Number & ")"
Err.Clear
ftp.Timeout = 86401
Check Err.Number = 5, "a limit above a day is refused"
Err.Clear
On Error GoTo 0
ftp.Timeout = 1
Check ftp.Timeout = 1, "FTP Timeout reads back"
ftp.URL = "127.0.0.1"
ftp.Port = stall + 2
ftp.Username = "silent"
ftp.Password = "any"
started = Timer
On Error Resume Next
ftp.OpenConnection
took = Timer - started
Check Err.Number = -2147220990 And InStr(Err.Description, "OpenConnection error code: 12002 ") > 0, _
    "a login without reply times out: " & Err.Number & " " & Err.Description
Check took < 3.5, "within the limit plus two seconds: " & took
Err.Clear
On Error GoTo 0

Set http = CreateObject("quorlin.HTTP")
Check http.Status = 0, "Status starts at 0"
http.Timeout = 1
http.URL = "127.0.0.1:" & (stall + 3) & "/headers-never"
On Error Resume Next
body = http.GetString
Check Err.Number = -2147220503 And InStr(Err.Description, "GetString error code: 12002 ") > 0, _
    "headers that never come time out: " & Err.Number & " " & Err.Description
Err.Clear
On Error GoTo 0
Check http.Status = 0, "no status after headers that never came"
http.URL = "127.0.0.1:" & environment.Item("QUORLIN_STAND_IN_PORT") & "/missing"
body = http.GetString
Check http.Status = 404, "a 404 page's status: " & http.Status

EndSuite
