' What every VBScript suite shares: the counters, Check, CheckNoError and the
' closing lines that scripts/test reads. Wine's VBScript cannot load code at
' run time (Execute and ExecuteGlobal are stubs, .wsf jobs do not run), so
' the test runner puts this file in front of each suite.
Option Explicit
Dim passed, failed
passed = 0 : failed = 0

Sub Check(condition, what)
    If condition Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Sub CheckNoError(what)
    Check Err.Number = 0, what & " (got " & Err.Number & ": " & Err.Description & ")"
    Err.Clear
End Sub

Sub EndSuite()
    WScript.Echo passed & " passed, " & failed & " failed"
    WScript.Echo "END OF SUITE"
    If failed > 0 Then WScript.Quit 1
    WScript.Quit 0
End Sub
