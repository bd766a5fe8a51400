' The FTP object as an ASP page drives it: CreateObject, properties and
' On Error Resume Next with Err.Number / Source / Description.

Sub CheckError(number, description, what)
    Check Err.Number = number And Err.Source = "Quorlin.FTP" And Err.Description = description, _
        what & " (got " & Err.Number & " " & Err.Source & ": " & Err.Description & ")"
    Err.Clear
End Sub

' OnStartPage keeps the context's Response and Server; the stand-in context is a script class.
Class PageStub
    Public Name
End Class
Class ScriptingContextStub
    Public Response
    Public Server
    Private Sub Class_Initialize()
        Set Response = New PageStub
        Set Server = New PageStub
    End Sub
End Class
Dim port, user, password, ftp, environment
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
port = CLng(environment.Item("QUORLIN_FTP_PORT"))
user = environment.Item("QUORLIN_FTP_USER")
password = environment.Item("QUORLIN_FTP_PASSWORD")

Set ftp = CreateObject("quorlin.ftp")
Check ftp.Version = "0.88.3b", "Version"
Check ftp.Port = 21, "default port"
Check ftp.Passive = False, "default passive"
Check ftp.URL = "" And ftp.Username = "" And ftp.Password = "" And ftp.Proxy = "", "empty texts"

On Error Resume Next
ftp.Port = 0
CheckError -2147220991, "The port number that you entered is invalid", "Port 0"
ftp.Port = -1
CheckError -2147220991, "The port number that you entered is invalid", "Port -1"
Check ftp.Port = 21, "port kept"
ftp.Port = "abc"
Check Err.Number = 13, "Port abc is a type mismatch (got " & Err.Number & ")"
Err.Clear
Dim x
x = ftp.TransferType
Check Err.Number = 438, "TransferType has no reader (got " & Err.Number & ")"
Err.Clear
ftp.TransferType = 3
Check Err.Number = 0, "TransferType 3 ignored"
ftp.URL = Null
Check Err.Number = 94, "URL Null (got " & Err.Number & ")"
Err.Clear
Check ftp.URL = "", "URL untouched by Null"
ftp.Passive = 1
Check ftp.Passive = True, "Passive 1 reads true"
ftp.Passive = False
ftp.Proxy = "    "
Check ftp.Proxy = "", "blank proxy is none"
ftp.Proxy = " p:1 "
Check ftp.Proxy = " p:1 ", "proxy untrimmed"
ftp.Proxy = ""

ftp.OpenConnection
CheckError -2147220981, "Needed Property not set.  URL", "both blank gives the URL message"
ftp.URL = "127.0.0.1"
ftp.OpenConnection
CheckError -2147220981, "Needed Parameter not set.  Username", "blank Username"

Dim context, result
Set context = New ScriptingContextStub
result = ftp.OnStartPage(context)
Check Err.Number = 0 And IsEmpty(result), "OnStartPage (got " & Err.Number & " " & Err.Description & ")"
Err.Clear

ftp.Username = user
ftp.Password = password
ftp.Port = port
ftp.OpenConnection
Check Err.Number = 0, "open (got " & Err.Number & " " & Err.Description & ")"
Err.Clear
ftp.URL = "no.such.host.invalid"
ftp.OpenConnection
Check Err.Number = 0, "second open is a no-op"
ftp.CloseConnection
ftp.CloseConnection
Check Err.Number = 0, "close twice"
Err.Clear

ftp.URL = "127.0.0.1"
ftp.Password = "wrong-password"
ftp.OpenConnection
Check Err.Number = -2147220990 And Left(Err.Description, 29) = "Error opening FTP connection." _
    And Len(Err.Description) > 29 And Mid(Err.Description, 30, 1) <> " ", _
    "refused login (got " & Err.Number & ": " & Err.Description & ")"
Err.Clear
ftp.Port = 70000
ftp.Password = password
ftp.OpenConnection
Check Err.Number = 6, "port 70000 overflows (got " & Err.Number & ")"
Err.Clear
Set ftp = Nothing

EndSuite
