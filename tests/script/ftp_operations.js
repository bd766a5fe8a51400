// Directory, commands and transfers from JScript, where every argument
// arrives by value: literals, booleans, null and numbers.
// Wine's JScript fails on eval of a call's result in place: read into a variable first.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
function raisedWith(e, number, start) {
    return e !== null && e.number === number && e.description.substring(0, start.length) === start;
}
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var workspace = "jscript-" + env("QUORLIN_FTP_SERVER_NAME");
var remoteFolder = "Z:" + env("QUORLIN_FTP_HOME").replace(/\//g, "\\") + "\\" + workspace;
var localFolder = env("QUORLIN_SCRATCH") + "\\" + workspace;
fso.CreateFolder(localFolder);
function writeAll(path, text) { var s = fso.CreateTextFile(path, true); s.Write(text); s.Close(); }
function readAll(path) { var s = fso.OpenTextFile(path, 1); var t = s.AtEndOfStream ? "" : s.ReadAll(); s.Close(); return t; }

var ftp = new ActiveXObject("quorlin.FTP");
ftp.URL = "127.0.0.1";
ftp.Port = parseInt(env("QUORLIN_FTP_PORT"), 10);
ftp.Username = env("QUORLIN_FTP_USER");
ftp.Password = env("QUORLIN_FTP_PASSWORD");
if (env("QUORLIN_FTP_SECURITY")) ftp.Security = parseInt(env("QUORLIN_FTP_SECURITY"), 10);
if (env("QUORLIN_FTP_PROTOCOL")) ftp.Protocol = parseInt(env("QUORLIN_FTP_PROTOCOL"), 10);
ftp.HostKeyFingerprint = env("QUORLIN_SFTP_HOST_KEYS");
// A server's refusal shows FTP's reply code, or over SFTP the status code.
var sftp = ftp.Protocol === 1;
var e = raised(function () { var d = ftp.Directory; });
check(raisedWith(e, -2147220979, "Error getting/setting directory.  No connection open."), "not connected: " + describe(e));
ftp.OpenConnection();
ftp.CreateDirectory(workspace);
ftp.Directory = workspace;
check(ftp.Directory.slice(-workspace.length) === workspace, "Directory " + ftp.Directory);

e = raised(function () { ftp.DeleteFile(null); });
check(e !== null && e.number === -2146828194, "null path: " + describe(e));

writeAll(localFolder + "\\one.txt", "one");
ftp.TransferType = 2;
e = raised(function () { ftp.PutFile(localFolder + "\\one.txt", "one.txt"); });
check(e === null && readAll(remoteFolder + "\\one.txt") === "one", "PutFile: " + describe(e));
e = raised(function () { ftp.GetFile("one.txt", localFolder + "\\one.txt", false); });
check(raisedWith(e, -2147220984, "Error getting file from the remote server.GetFile error code: 80 "),
      "false refuses to replace: " + describe(e));
writeAll(remoteFolder + "\\one.txt", "newer");
e = raised(function () { ftp.GetFile("one.txt", localFolder + "\\one.txt", true); });
check(e === null && readAll(localFolder + "\\one.txt") === "newer", "true replaces: " + describe(e));
e = raised(function () { ftp.GetFile("gone.txt", localFolder + "\\one.txt", -1); });
check(raisedWith(e, -2147220984, "Error getting file from the remote server." + (sftp ? "2 " : "5")), "missing remote: " + describe(e));
check(readAll(localFolder + "\\one.txt") === "newer", "the local file survives a failed download");

e = raised(function () { ftp.RenameFile("one.txt", 2); });
check(e === null && fso.FileExists(remoteFolder + "\\2"), "rename to a number's text: " + describe(e));
e = raised(function () { ftp.DeleteFile("2"); ftp.DeleteFile("2"); });
check(raisedWith(e, -2147220983, "Error deleting file from the remote server." + (sftp ? "2 " : "55")), "second delete: " + describe(e));
e = raised(function () { ftp.Directory = ".."; ftp.RemoveDirectory(workspace); });
check(e === null && !fso.FolderExists(remoteFolder), "RemoveDirectory: " + describe(e));
ftp.CloseConnection();

endSuite();
