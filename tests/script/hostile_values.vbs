' Every member of every class from VBScript with values no page should pass:
' each call works or raises an error with a number and a description, and the
' object answers a plain call right after. The connected FTP object talks to
' the scripted server (QUORLIN_FTP_STAND_IN_PORT), which takes any command.

' What went wrong in the current round (one object, one value); each round is one check.
Dim roundFailures
roundFailures = 0
Sub Note(condition, what)
    If Not condition Then
        roundFailures = roundFailures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub
Sub EndRound()
    passed = passed + Abs(roundFailures = 0)
    failed = failed + Abs(roundFailures <> 0)
    roundFailures = 0
End Sub

' Called right after a member: no error, or one with a number and a description.
Sub Handled(what)
    Note Err.Number = 0 Or Err.Description <> "", what & " (" & Err.Number & " " & Err.Description & ")"
    Err.Clear
End Sub

' Called right after the plain call that follows each member.
Sub Alive(what)
    Note Err.Number = 0, what & ": the object no longer answers (" & Err.Number & " " & Err.Description & ")"
    Err.Clear
End Sub

Class Plain
    Public Field
End Class

' The values, by number.
Const kValues = 12
Function ValueName(i)
    Dim names
    names = Array("Null", "Empty", "Nothing", "an object without a default", "an array", _
        "a text of 1,000,000 characters", "a text with a NUL", "-1", "2147483647", "1E+300", "a date", "True")
    ValueName = names(i)
End Function
Sub MakeValue(i, v)
    Select Case i
        Case 0: v = Null
        Case 1: v = Empty
        Case 2: Set v = Nothing
        Case 3: Set v = New Plain
        Case 4: v = Array(1, 2)
        Case 5: v = String(1000000, "x")
        Case 6: v = "a" & Chr(0) & "b"
        Case 7: v = -1
        Case 8: v = 2147483647
        Case 9: v = 1E+300
        Case 10: v = Now
        Case 11: v = True
    End Select
End Sub

Sub HitFtp(o, v, label)
    Dim x
    On Error Resume Next
    Err.Clear : x = o.Version : Handled label & " Version"
    x = o.Version : Alive label & " Version"
    Err.Clear : o.URL = v : Handled label & " URL put"
    x = o.Version : Alive label & " URL put"
    Err.Clear : x = o.URL : Handled label & " URL"
    x = o.Version : Alive label & " URL"
    Err.Clear : o.Username = v : Handled label & " Username put"
    x = o.Version : Alive label & " Username put"
    Err.Clear : x = o.Username : Handled label & " Username"
    x = o.Version : Alive label & " Username"
    Err.Clear : o.Password = v : Handled label & " Password put"
    x = o.Version : Alive label & " Password put"
    Err.Clear : x = o.Password : Handled label & " Password"
    x = o.Version : Alive label & " Password"
    Err.Clear : o.Port = v : Handled label & " Port put"
    x = o.Version : Alive label & " Port put"
    Err.Clear : x = o.Port : Handled label & " Port"
    x = o.Version : Alive label & " Port"
    Err.Clear : o.Proxy = v : Handled label & " Proxy put"
    x = o.Version : Alive label & " Proxy put"
    Err.Clear : x = o.Proxy : Handled label & " Proxy"
    x = o.Version : Alive label & " Proxy"
    Err.Clear : o.Passive = v : Handled label & " Passive put"
    x = o.Version : Alive label & " Passive put"
    Err.Clear : x = o.Passive : Handled label & " Passive"
    x = o.Version : Alive label & " Passive"
    Err.Clear : o.TransferType = v : Handled label & " TransferType put"
    x = o.Version : Alive label & " TransferType put"
    Err.Clear : o.OnStartPage v : Handled label & " OnStartPage"
    x = o.Version : Alive label & " OnStartPage"
    Err.Clear : o.OpenConnection : Handled label & " OpenConnection"
    x = o.Version : Alive label & " OpenConnection"
    Err.Clear : x = o.Directory : Handled label & " Directory"
    x = o.Version : Alive label & " Directory"
    Err.Clear : o.Directory = v : Handled label & " Directory put"
    x = o.Version : Alive label & " Directory put"
    Err.Clear : Set x = o.Files : Handled label & " Files"
    x = o.Version : Alive label & " Files"
    Err.Clear : x = o.GetDirectoryListing(v) : Handled label & " GetDirectoryListing"
    x = o.Version : Alive label & " GetDirectoryListing"
    Err.Clear : o.CreateDirectory v : Handled label & " CreateDirectory"
    x = o.Version : Alive label & " CreateDirectory"
    Err.Clear : o.RemoveDirectory v : Handled label & " RemoveDirectory"
    x = o.Version : Alive label & " RemoveDirectory"
    Err.Clear : o.RenameFile v, v : Handled label & " RenameFile"
    x = o.Version : Alive label & " RenameFile"
    Err.Clear : o.PutFile v, v : Handled label & " PutFile"
    x = o.Version : Alive label & " PutFile"
    Err.Clear : o.GetDirectory v, v, v, v : Handled label & " GetDirectory"
    x = o.Version : Alive label & " GetDirectory"
    Err.Clear : o.PutDirectory v, v, v : Handled label & " PutDirectory"
    x = o.Version : Alive label & " PutDirectory"
    Err.Clear : o.GetFile v, v, v : Handled label & " GetFile"
    x = o.Version : Alive label & " GetFile"
    Err.Clear : o.DeleteFile v : Handled label & " DeleteFile"
    x = o.Version : Alive label & " DeleteFile"
    Err.Clear : o.CloseConnection : Handled label & " CloseConnection"
    x = o.Version : Alive label & " CloseConnection"
End Sub

Sub HitHttp(o, v, label)
    Dim x
    On Error Resume Next
    Err.Clear : o.URL = v : Handled label & " URL put"
    x = o.Version : Alive label & " URL put"
    Err.Clear : x = o.ServerName : Handled label & " ServerName"
    x = o.Version : Alive label & " ServerName"
    Err.Clear : x = o.Path : Handled label & " Path"
    x = o.Version : Alive label & " Path"
    Err.Clear : x = o.Version : Handled label & " Version"
    x = o.Version : Alive label & " Version"
    Err.Clear : x = o.GetString : Handled label & " GetString"
    x = o.Version : Alive label & " GetString"
End Sub

Sub HitEntry(o, v, label)
    Dim x
    On Error Resume Next
    Err.Clear : o.ID = v : Handled label & " ID put"
    x = o.Filename : Alive label & " ID put"
    Err.Clear : x = o.ID : Handled label & " ID"
    x = o.Filename : Alive label & " ID"
    Err.Clear : o.Filename = v : Handled label & " Filename put"
    x = o.Filename : Alive label & " Filename put"
    Err.Clear : x = o.Filename : Handled label & " Filename"
    x = o.Filename : Alive label & " Filename"
    Err.Clear : o.FileType = v : Handled label & " FileType put"
    x = o.Filename : Alive label & " FileType put"
    Err.Clear : x = o.FileType : Handled label & " FileType"
    x = o.Filename : Alive label & " FileType"
    Err.Clear : o.FileSize = v : Handled label & " FileSize put"
    x = o.Filename : Alive label & " FileSize put"
    Err.Clear : x = o.FileSize : Handled label & " FileSize"
    x = o.Filename : Alive label & " FileSize"
    Err.Clear : o.LastAccessTime = v : Handled label & " LastAccessTime put"
    x = o.Filename : Alive label & " LastAccessTime put"
    Err.Clear : x = o.LastAccessTime : Handled label & " LastAccessTime"
    x = o.Filename : Alive label & " LastAccessTime"
    Err.Clear : o.LastWriteTime = v : Handled label & " LastWriteTime put"
    x = o.Filename : Alive label & " LastWriteTime put"
    Err.Clear : x = o.LastWriteTime : Handled label & " LastWriteTime"
    x = o.Filename : Alive label & " LastWriteTime"
    Err.Clear : o.CreationTime = v : Handled label & " CreationTime put"
    x = o.Filename : Alive label & " CreationTime put"
    Err.Clear : x = o.CreationTime : Handled label & " CreationTime"
    x = o.Filename : Alive label & " CreationTime"
End Sub

Sub HitFiles(o, v, label)
    Dim x
    On Error Resume Next
    Err.Clear : x = o.Count : Handled label & " Count"
    x = o.Count : Alive label & " Count"
    Err.Clear : Set x = o.Item(v) : Handled label & " Item"
    x = o.Count : Alive label & " Item"
    Err.Clear : Set x = o(v) : Handled label & " default member"
    x = o.Count : Alive label & " default member"
End Sub

Dim environment, shell, fso, scratch, i, v, ftp
Set shell = CreateObject("WScript.Shell")
Set environment = shell.Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
' Tree operations handed a value as a local path make folders of that name.
scratch = environment.Item("QUORLIN_SCRATCH") & "\hostile-vbs"
If Not fso.FolderExists(scratch) Then fso.CreateFolder scratch
shell.CurrentDirectory = scratch

For i = 0 To kValues - 1
    MakeValue i, v
    HitFtp CreateObject("quorlin.FTP"), v, "FTP with " & ValueName(i) & ":"
    EndRound
    HitHttp CreateObject("quorlin.HTTP"), v, "HTTP with " & ValueName(i) & ":"
    EndRound
    HitEntry CreateObject("quorlin.FTPFile"), v, "FTPFile with " & ValueName(i) & ":"
    EndRound
    HitFiles CreateObject("quorlin.FTPFiles"), v, "FTPFiles with " & ValueName(i) & ":"
    EndRound
    Set ftp = CreateObject("quorlin.FTP")
    ftp.URL = "127.0.0.1"
    ftp.Username = "any"
    ftp.Password = "any"
    ftp.Port = CLng(environment.Item("QUORLIN_FTP_STAND_IN_PORT"))
    ftp.Passive = True
    ftp.OpenConnection
    HitFtp ftp, v, "connected FTP with " & ValueName(i) & ":"
    EndRound
Next

' By-reference arguments go back only where the member changed them.
Dim overwrite, transfer, address, http
Set ftp = CreateObject("quorlin.FTP")
overwrite = 1
On Error Resume Next
ftp.GetFile "remote", "local", overwrite
Check Err.Number = -2147220984, "GetFile without a connection fails (" & Err.Number & ")"
On Error GoTo 0
Check TypeName(overwrite) = "Integer" And overwrite = 1, "the overwrite flag keeps its type and value: " & _
    TypeName(overwrite) & " " & overwrite
transfer = 2
ftp.TransferType = transfer
Check TypeName(transfer) = "Integer", "an integer handed to an enumeration stays one: " & TypeName(transfer)
Set http = CreateObject("quorlin.HTTP")
address = "  http://host.invalid/page  "
http.URL = address
Check address = "host.invalid/page", "the URL's trimming goes back: [" & address & "]"

EndSuite
