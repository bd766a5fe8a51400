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

// Text beyond the BMP and beyond ASCII names: UTF-8 both ways, a byte-order
// mark honoured, a character the code page lacks refused before anything is sent.
var smile = "\uD83D\uDE00 \u65E5\u672C";
ftp.CodePage = 65001;
e = raised(function () { ftp.PutText(smile, "\u65E5\u672C\uD83D\uDCC1.txt"); });
check(e === null && ftp.FileSize("\u65E5\u672C\uD83D\uDCC1.txt") === 11 && ftp.GetText("\u65E5\u672C\uD83D\uDCC1.txt", undefined) === smile &&
      ftp.FileExists("\u65E5\u672C\uD83D\uDCC1.txt"), "UTF-8 text under a UTF-8 name: " + describe(e));
ftp.DeleteFile("\u65E5\u672C\uD83D\uDCC1.txt");
ftp.CodePage = 0;
ftp.PutText("\uFEFFmarked", "bom.txt");
check(ftp.FileSize("bom.txt") === 9 && ftp.GetText("bom.txt") === "marked" && ftp.GetText("bom.txt", 1252) === "\u00EF\u00BB\u00BFmarked",
      "a UTF-8 byte-order mark is removed, unless a code page other than UTF-8 is given");
ftp.DeleteFile("bom.txt");
e = raised(function () { ftp.PutText(smile, "lost.txt", 1252); });
check(raisedWith(e, -2147220974, "Error putting text to the remote server.PutText error code: 1113 ") && !ftp.FileExists("lost.txt"),
      "a character that code page 1252 lacks: " + describe(e));
e = raised(function () { ftp.PutText("\uD800", "lone.txt"); });
check(raisedWith(e, -2147220974, "Error putting text to the remote server.PutText error code: 1113 "), "a lone surrogate: " + describe(e));
e = raised(function () { ftp.FileSize(null); });
check(e !== null && e.number === -2146828194, "null name: " + describe(e));
e = raised(function () { ftp.ResumeGetFile("one.txt", localFolder + "\\a\u0000b"); });
check(raisedWith(e, -2147220972, "Error resuming file from the remote server.ResumeGetFile error code: 87 "), "NUL in a local path: " + describe(e));
ftp.TransferType = 2;

e = raised(function () { ftp.RenameFile("one.txt", 2); });
check(e === null && fso.FileExists(remoteFolder + "\\2"), "rename to a number's text: " + describe(e));
e = raised(function () { ftp.DeleteFile("2"); ftp.DeleteFile("2"); });
check(raisedWith(e, -2147220983, "Error deleting file from the remote server." + (sftp ? "2 " : "55")), "second delete: " + describe(e));
e = raised(function () { ftp.Directory = ".."; ftp.RemoveDirectory(workspace); });
check(e === null && !fso.FolderExists(remoteFolder), "RemoveDirectory: " + describe(e));
ftp.CloseConnection();

endSuite();
