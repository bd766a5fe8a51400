' GetDirectory and PutDirectory as a page calls them: literals and variables
' for the flags, the tree compared through Scripting.FileSystemObject.

Sub WriteAll(path, text)
    Dim stream
    Set stream = fso.CreateTextFile(path, True)
    stream.Write text
    stream.Close
End Sub

Function ReadAll(path)
    Dim stream
    Set stream = fso.OpenTextFile(path, 1)
    If stream.AtEndOfStream Then ReadAll = "" Else ReadAll = stream.ReadAll
    stream.Close
End Function

Dim environment, fso, workspace, localFolder, remoteFolder, ftp, home, missing, overwrite, traverse
Set environment = CreateObject("WScript.Shell").Environment("PROCESS")
Set fso = CreateObject("Scripting.FileSystemObject")
workspace = "vbs-tree-" & environment.Item("QUORLIN_FTP_SERVER_NAME")
localFolder = environment.Item("QUORLIN_SCRATCH") & "\" & workspace
remoteFolder = "Z:" & Replace(environment.Item("QUORLIN_FTP_HOME"), "/", "\") & "\" & workspace
fso.CreateFolder localFolder
fso.CreateFolder localFolder & "\up"
fso.CreateFolder localFolder & "\up\sub"
WriteAll localFolder & "\up\a.txt", "alpha"
WriteAll localFolder & "\up\sub\b.txt", "beta"

Set ftp = CreateObject("quorlin.FTP")
ftp.URL = "127.0.0.1"
ftp.Port = CLng(environment.Item("QUORLIN_FTP_PORT"))
ftp.Username = environment.Item("QUORLIN_FTP_USER")
ftp.Password = environment.Item("QUORLIN_FTP_PASSWORD")
If environment.Item("QUORLIN_FTP_SECURITY") <> "" Then ftp.Security = CLng(environment.Item("QUORLIN_FTP_SECURITY"))
If environment.Item("QUORLIN_FTP_PROTOCOL") <> "" Then ftp.Protocol = CLng(environment.Item("QUORLIN_FTP_PROTOCOL"))
ftp.HostKeyFingerprint = environment.Item("QUORLIN_SFTP_HOST_KEYS")
ftp.Proxy = environment.Item("QUORLIN_FTP_PROXY")
ftp.ProxyUsername = environment.Item("QUORLIN_FTP_PROXY_USER")
ftp.ProxyPassword = environment.Item("QUORLIN_FTP_PROXY_PASSWORD")
ftp.Passive = True
ftp.TransferType = 2
ftp.OpenConnection
ftp.CreateDirectory workspace
ftp.Directory = workspace
home = ftp.Directory

On Error Resume Next
ftp.PutDirectory localFolder & "\up", home, True
CheckNoError "PutDirectory"
Check ReadAll(remoteFolder & "\a.txt") = "alpha" And ReadAll(remoteFolder & "\sub\b.txt") = "beta", "tree stored"
Check ftp.Directory = home, "Directory restored after the upload"

overwrite = False
traverse = True
ftp.GetDirectory home, localFolder & "\down", overwrite, traverse
CheckNoError "GetDirectory with variables"
Check ReadAll(localFolder & "\down\a.txt") = "alpha" And ReadAll(localFolder & "\down\sub\b.txt") = "beta", "tree fetched"
ftp.GetDirectory home, localFolder & "\down", overwrite, traverse
Check Err.Number = -2147220984 And InStr(Err.Description, "GetFile error code: 80 ") > 0, _
    "overwrite False stops at an existing file (got " & Err.Number & ")"
Err.Clear
ftp.Directory = home
WriteAll localFolder & "\down\a.txt", "old"
ftp.GetDirectory home, localFolder & "\down", True, False
CheckNoError "GetDirectory with literals"
Check ReadAll(localFolder & "\down\a.txt") = "alpha", "overwrite True replaces"

missing = localFolder & "\missing"
ftp.PutDirectory missing, home & "/sub", True
Check Err.Number = -2147220978 And Err.Source = "Quorlin.FTP" And Err.Description = "Folder :" & missing & _
    " does not exist.PutDirectory error code: 3 Message: Path not found." & vbCrLf, _
    "missing local folder (got " & Err.Number & ": " & Err.Description & ")"
Err.Clear
Check ftp.Directory = home, "Directory back where it started"

' The batch members: masks, Overwrite, OnlyChanged, KeepTime, Move, Synchronize.
Function Sent()
    Dim name, text
    For Each name In ftp.TransferredFiles
        text = text & "[" & name & "]"
    Next
    Sent = text
End Function
Sub CheckBatchError(number, text, what)
    Check Err.Number = number And Err.Source = "Quorlin.FTP" And InStr(Err.Description, text) > 0, _
        what & " (got " & Err.Number & ": " & Err.Description & ")"
    Err.Clear
End Sub
Dim outbox, inbox, stamp, n
outbox = localFolder & "\outbox"
inbox = localFolder & "\inbox"
fso.CreateFolder outbox
fso.CreateFolder outbox & "\deep"
fso.CreateFolder localFolder & "\empty"
WriteAll outbox & "\one.csv", "1"
WriteAll outbox & "\TWO.CSV", "22"
WriteAll outbox & "\three.txt", "333"
WriteAll outbox & "\skip.csv", "4444"
WriteAll outbox & "\other.dat", "55555"
WriteAll outbox & "\deep\four.csv", "666666"
ftp.CreateDirectory "batch"
ftp.CreateDirectory "mirror"
n = ftp.PutFiles(outbox & "\*.csv;*.txt | skip*", "batch")
CheckNoError "PutFiles"
Check n = 3 And Len(Sent()) = Len("[one.csv][TWO.CSV][three.txt]") And InStr(Sent(), "[TWO.CSV]") > 0, _
    "three files by mask and exclusion (" & n & ": " & Sent() & ")"
Check ReadAll(remoteFolder & "\batch\TWO.CSV") = "22" And Not fso.FileExists(remoteFolder & "\batch\skip.csv") _
    And Not fso.FolderExists(remoteFolder & "\batch\deep"), "what the mask left out stayed"
Check ftp.Directory = home, "Directory kept by PutFiles"
n = ftp.PutFiles(outbox & "\*.csv", "batch")
CheckBatchError -2147220970, "one.csv (0 files sent before it): PutFiles error code: 80 ", "an existing target without Overwrite"
n = ftp.PutFiles(outbox & "\*.CSV;*.txt", "batch", 4)
CheckNoError "OnlyChanged"
Check n = 1 And Sent() = "[skip.csv]", "OnlyChanged sends the one new file (" & Sent() & ")"
WriteAll outbox & "\one.csv", "1111111"
n = ftp.PutFiles(outbox & "\*.csv;*.txt", "batch", 4)
CheckBatchError -2147220970, "one.csv (0 files sent before it): PutFiles error code: 80 ", "a changed file without Overwrite"
n = ftp.PutFiles(outbox & "\*.csv;*.txt", "batch", 4 + 16)
CheckNoError "OnlyChanged and Overwrite"
Check n = 1 And Sent() = "[one.csv]", "OnlyChanged sends exactly the changed file (" & Sent() & ")"
n = ftp.PutFiles(outbox & "\*.csv;*.txt", "batch", 4 + 16 + 32)
CheckNoError "OnlyChanged once more"
Check n = 0 And Sent() = "", "then nothing"
' KeepTime needs a source time the transfer cannot have by chance.
stamp = Timer
Do While Timer - stamp < 2.1 And Timer >= stamp
Loop
stamp = fso.GetFile(outbox & "\TWO.CSV").DateLastModified
n = ftp.PutFiles(outbox & "\*.csv", home & "/batch", 1 + 2 + 8 + 16 + 32)
CheckNoError "PutFiles with Recurse, Move, KeepTime, Overwrite and TemporaryName"
Check n = 4 And InStr(Sent(), "[deep\four.csv]") > 0, "recursed (" & Sent() & ")"
Check Not fso.FileExists(outbox & "\one.csv") And Not fso.FileExists(outbox & "\deep\four.csv") And _
    fso.FileExists(outbox & "\three.txt"), "moved files left the outbox, the rest stayed"
Check ReadAll(remoteFolder & "\batch\deep\four.csv") = "666666" And ReadAll(remoteFolder & "\batch\one.csv") = _
    "1111111" And Not fso.FileExists(remoteFolder & "\batch\.one.csv.part"), "whole files under their own names"
Check Abs(CDbl(stamp) - CDbl(ftp.FileTime("batch/TWO.CSV"))) * 86400 <= 1, "upload kept the time (" & stamp & ", " & _
    ftp.FileTime("batch/TWO.CSV") & ")"
n = ftp.GetFiles("batch/*.CSV", inbox, 1 + 8)
CheckNoError "GetFiles"
Check n = 4 And ReadAll(inbox & "\deep\four.csv") = "666666", "fetched by a mask in any letter case (" & Sent() & ")"
Check Abs(CDbl(stamp) - CDbl(fso.GetFile(inbox & "\TWO.CSV").DateLastModified)) * 86400 <= 1, "download kept the time"
n = ftp.GetFiles(home & "/batch/*.txt", inbox, 2)
CheckNoError "GetFiles with Move"
Check n = 1 And Not ftp.FileExists("batch/three.txt") And ReadAll(inbox & "\three.txt") = "333", _
    "GetFiles with Move removed the fetched file"
n = ftp.Synchronize(inbox, "mirror", 1, 1 + 64)
CheckNoError "Synchronize"
Check n = 5 And ReadAll(remoteFolder & "\mirror\deep\four.csv") = "666666", "Synchronize sent the tree (" & n & ")"
n = ftp.Synchronize(inbox, "mirror", 1, 1 + 64)
CheckNoError "Synchronize again"
Check n = 0, "an unchanged tree sends nothing"
fso.DeleteFile inbox & "\one.csv"
WriteAll inbox & "\TWO.CSV", "changed"
n = ftp.Synchronize(inbox, "mirror", 1, 1 + 64, "*.csv")
CheckNoError "Synchronize after a change"
Check n = 1 And Sent() = "[TWO.CSV]" And Not _
    fso.FileExists(remoteFolder & "\mirror\one.csv") And fso.FileExists(remoteFolder & "\mirror\three.txt"), _
    "the changed file sent, the missing one removed, what the mask leaves out kept (" & Sent() & ")"
n = ftp.Synchronize(localFolder & "\empty", "mirror", 1, 64)
CheckBatchError -2147220968, "holds nothing the mask selects, so nothing on the target was deleted", "an empty source"
n = ftp.Synchronize(localFolder & "\nowhere", "mirror", 1, 64)
CheckBatchError -2147220968, "cannot be listed, so nothing on the target was deleted", "a missing source"
Check fso.FileExists(remoteFolder & "\mirror\TWO.CSV"), "the mirror kept its files"
n = ftp.Synchronize(localFolder & "\back", home & "/mirror", 2, 1)
CheckNoError "Synchronize to the local side"
Check n = 4 And ReadAll(localFolder & _
    "\back\deep\four.csv") = "666666", "Synchronize the other way (" & Sent() & ")"
n = ftp.PutFiles(outbox & "\*.csv", "batch", 64)
CheckBatchError 5, "Invalid procedure call", "DeleteExtra belongs to Synchronize"
n = ftp.Synchronize(inbox, "mirror", 3)
CheckBatchError 5, "Invalid procedure call", "no such direction"
Check ftp.Directory = home, "Directory kept by the batches"
ftp.CloseConnection

EndSuite
