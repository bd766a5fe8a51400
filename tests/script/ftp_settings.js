// The FTP object from JScript: every argument arrives by value.
// Wine's JScript fails on eval of a call's result in place: read into a variable first.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var ftp = new ActiveXObject("QUORLIN.FTP");
check(ftp.Version == "0.88.3b", "Version");
ftp.Port = 2121;
check(ftp.Port == 2121, "port literal");
var e = raised(function () { ftp.Port = 0; });
check(e && e.number == -2147220991 && e.description == "The port number that you entered is invalid", "port 0");
e = raised(function () { var t = ftp.TransferType; });
check(e && e.number == -2147352573, "TransferType has no reader");
ftp.URL = 42;
check(ftp.URL == "42", "number becomes its text");
ftp.Passive = true;
check(ftp.Passive == true, "passive");
e = raised(function () { ftp.OpenConnection(); });
check(e && e.number == -2147220981 && e.description == "Needed Parameter not set.  Username", "username message");
ftp.URL = "127.0.0.1";
ftp.Username = env("QUORLIN_FTP_USER");
ftp.Password = env("QUORLIN_FTP_PASSWORD");
ftp.Port = parseInt(env("QUORLIN_FTP_PORT"), 10);
e = raised(function () { ftp.OpenConnection(); });
check(e === null, "open: " + (e && e.description));
e = raised(function () { ftp.CloseConnection(); ftp.CloseConnection(); });
check(e === null, "close twice");
endSuite();
