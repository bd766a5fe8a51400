// GetDirectory and PutDirectory from JScript: booleans and paths by value.
// Wine's JScript fails on eval of a call's result in place: read into a variable first.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var workspace = "js-tree-" + env("QUORLIN_FTP_SERVER_NAME");
var localFolder = env("QUORLIN_SCRATCH") + "\\" + workspace;
function writeAll(path, text) { var s = fso.CreateTextFile(path, true); s.Write(text); s.Close(); }
function readAll(path) { var s = fso.OpenTextFile(path, 1); var t = s.AtEndOfStream ? "" : s.ReadAll(); s.Close(); return t; }
fso.CreateFolder(localFolder);
fso.CreateFolder(localFolder + "\\up");
fso.CreateFolder(localFolder + "\\up\\inner");
writeAll(localFolder + "\\up\\one.txt", "one");
writeAll(localFolder + "\\up\\inner\\two.txt", "two");

var ftp = new ActiveXObject("quorlin.FTP");
ftp.URL = "127.0.0.1";
ftp.Port = parseInt(env("QUORLIN_FTP_PORT"), 10);
ftp.Username = env("QUORLIN_FTP_USER");
ftp.Password = env("QUORLIN_FTP_PASSWORD");
if (env("QUORLIN_FTP_SECURITY")) ftp.Security = parseInt(env("QUORLIN_FTP_SECURITY"), 10);
if (env("QUORLIN_FTP_PROTOCOL")) ftp.Protocol = parseInt(env("QUORLIN_FTP_PROTOCOL"), 10);
ftp.HostKeyFingerprint = env("QUORLIN_SFTP_HOST_KEYS");
ftp.TransferType = 2;
ftp.OpenConnection();
ftp.CreateDirectory(workspace);
ftp.Directory = workspace;
var home = ftp.Directory;

var e = raised(function () { ftp.PutDirectory(localFolder + "\\up", home, true); });
check(e === null && ftp.Directory === home, "PutDirectory: " + describe(e));
e = raised(function () { ftp.GetDirectory(home, localFolder + "\\down", false, true); });
check(e === null && readAll(localFolder + "\\down\\inner\\two.txt") === "two", "GetDirectory: " + describe(e));
e = raised(function () { ftp.GetDirectory(home, localFolder + "\\flat", false, false); });
check(e === null && fso.FileExists(localFolder + "\\flat\\one.txt") && !fso.FolderExists(localFolder + "\\flat\\inner"),
      "without traversal: " + describe(e));
e = raised(function () { ftp.GetDirectory(home + "/missing", localFolder + "\\none", false, true); });
check(e !== null && e.number === -2147220989 && fso.FolderExists(localFolder + "\\none"),
      "a missing remote directory after the local folder was made: " + describe(e));
var count = -1, names = [];
e = raised(function () { count = ftp.GetFiles(home + "/*.TXT", localFolder + "\\batch", 1); });
e = e || raised(function () { names = new VBArray(ftp.TransferredFiles).toArray(); });
check(e === null && count === 2 && names.length === 2 && names.join("|").indexOf("inner/two.txt") >= 0 &&
      readAll(localFolder + "\\batch\\inner\\two.txt") === "two", "GetFiles and TransferredFiles: " + describe(e) +
      " " + count + " " + names.join("|"));
e = raised(function () { ftp.PutFiles(localFolder + "\\up\\*.txt", home, 8 + 16 + 4 + 2 + 1 + 64); });
check(e !== null && e.number === -2146828283 && fso.FileExists(localFolder + "\\up\\one.txt"), "DeleteExtra on PutFiles: " + describe(e));
ftp.CloseConnection();
endSuite();
