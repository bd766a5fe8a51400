"""Turns a classic ASP page written in VBScript into a script cscript runs as
the page would run: the page's HTML and <%= %> expressions become
Response.Write calls, its code stays as it is (Response.End ends it), and
stand-ins for the host's objects come first (Response.Write to the standard output, Server.CreateObject
handing the new object the page's context as the host does, Request.Form and
Request.QueryString from QUORLIN_FORM_<name> and QUORLIN_QUERY_<name>,
Application(<name>) from QUORLIN_APP_<name>).
    asp_page.py PAGE.asp SCRIPT.vbs"""
import re
import sys

STAND_INS = r'''
Class StandInResponse
    Public CharSet
    Public ContentType
    Private pending
    ' The script host can only write whole lines: each complete line goes out
    ' as it is written, so a page that dies shows how far it came.
    Public Sub Write(text)
        Dim lineEnd
        pending = pending & text
        lineEnd = InStr(pending, vbLf)
        Do While lineEnd > 0
            WScript.Echo Replace(Left(pending, lineEnd - 1), vbCr, "")
            pending = Mid(pending, lineEnd + 1)
            lineEnd = InStr(pending, vbLf)
        Loop
    End Sub
    Public Sub Flush()
    End Sub
    Public Sub Finish()  ' the page's end, as the host reaches it
        WScript.Echo pending
        WScript.Echo "END OF PAGE"
        WScript.Quit 0
    End Sub
End Class
Class StandInServer
    Public Function CreateObject(progId)
        Dim made
        Set made = WScript.CreateObject(progId)
        On Error Resume Next
        made.OnStartPage pageContext  ' what the host does for an object that has it
        On Error GoTo 0
        Set CreateObject = made
    End Function
    Public Function HTMLEncode(text)
        HTMLEncode = Replace(Replace(Replace(Replace(text, "&", "&amp;"), "<", "&lt;"), ">", "&gt;"), """", "&quot;")
    End Function
    Public Function MapPath(path)
        MapPath = Environment("QUORLIN_SCRATCH") & "\" & Replace(path, "/", "\")
    End Function
End Class
Class StandInRequest
    Public Default Function Item(name)
        Item = Form(name)
        If Item = "" Then Item = QueryString(name)
    End Function
    Public Function Form(name)
        Form = Environment("QUORLIN_FORM_" & name)
    End Function
    Public Function QueryString(name)
        QueryString = Environment("QUORLIN_QUERY_" & name)
    End Function
End Class
Class StandInApplication
    Public Default Function Item(name)
        Item = Environment("QUORLIN_APP_" & name)
    End Function
End Class
Class StandInContext  ' one name per Public statement: Wine's VBScript takes no list there
    Public Response
    Public Server
    Public Request
    Public Application
End Class
Function Environment(name)
    Environment = WScript.CreateObject("WScript.Shell").Environment("PROCESS").Item(name)
End Function
Dim Response, Server, Request, Application, pageContext
Set Response = New StandInResponse
Set Server = New StandInServer
Set Request = New StandInRequest
Set Application = New StandInApplication
Set pageContext = New StandInContext
Set pageContext.Response = Response
Set pageContext.Server = Server
Set pageContext.Request = Request
Set pageContext.Application = Application
'''


def literal(text):
    """A VBScript expression for a piece of the page's HTML."""
    lines = text.split('\n')
    parts = ['"%s"' % line.rstrip('\r').replace('"', '""') for line in lines]
    return ' & vbCrLf & '.join(parts)


def convert(page):
    script, options = [], []
    position = 0
    for block in re.finditer(r'<%(.*?)%>', page, re.S):
        html = page[position:block.start()]
        if html:
            script.append('Response.Write ' + literal(html))
        code = block.group(1)
        if code.startswith('@'):
            pass  # the page's directives (language, code page) are the host's
        elif code.startswith('='):
            script.append('Response.Write (' + code[1:].strip() + ')')
        else:
            for line in code.split('\n'):
                if re.match(r'\s*Option\s+Explicit\s*$', line, re.I):
                    options.append('Option Explicit')  # must come before anything else
                else:  # a class cannot have a member named End
                    script.append(re.sub(r'\bResponse\.End\b', 'Response.Finish', line.rstrip('\r')))
        position = block.end()
    if page[position:]:
        script.append('Response.Write ' + literal(page[position:]))
    script.append('Response.Finish')
    return '\r\n'.join(options + STAND_INS.strip('\n').split('\n') + script) + '\r\n'


if __name__ == '__main__':
    with open(sys.argv[1], encoding='utf-8') as source:
        page = source.read()
    with open(sys.argv[2], 'w', encoding='utf-8', newline='') as target:
        target.write(convert(page))
