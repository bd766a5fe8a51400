// Names in any language from JScript, late bound: CodePage 65001 against one
// real server, a tree with names in three scripts up and down.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var workspace = "jscript-names-" + env("QUORLIN_FTP_SERVER_NAME");
var remoteFolder = "Z:" + env("QUORLIN_FTP_HOME").replace(/\//g, "\\") + "\\" + workspace;
var localFolder = env("QUORLIN_SCRATCH") + "\\" + workspace;
var greek = "\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac", japanese = "\u65e5\u672c\u8a9e";
var emoji = "smile\ud83d\ude00", accents = "r\u00e9sum\u00e9";
fso.CreateFolder(localFolder);
var tree = localFolder + "\\" + japanese;
fso.CreateFolder(tree);
fso.CreateFolder(tree + "\\" + greek);
fso.CreateTextFile(tree + "\\" + emoji + ".txt", true).Write("emoji");
fso.CreateTextFile(tree + "\\" + greek + "\\" + accents + ".txt", true).Write("accents");

var ftp = new ActiveXObject("quorlin.FTP");
ftp.CodePage = 65001;
check(ftp.CodePage === 65001, "CodePage reads back");
var e = raised(function () { ftp.CodePage = -1; });
check(e && e.number == -2146828283 && ftp.CodePage === 65001, "a negative code page is refused: " + describe(e));
ftp.URL = "127.0.0.1";
ftp.Port = parseInt(env("QUORLIN_FTP_PORT"), 10);
ftp.Username = env("QUORLIN_FTP_USER");
ftp.Password = env("QUORLIN_FTP_PASSWORD");
ftp.Passive = true;
ftp.OpenConnection();
ftp.CreateDirectory(workspace);
ftp.Directory = workspace;
ftp.CreateDirectory(greek);
var remote = ftp.Directory + "/" + greek;
ftp.PutDirectory(tree, remote, true);
check(fso.FileExists(remoteFolder + "\\" + greek + "\\" + greek + "\\" + accents + ".txt"),
    "the tree's names on the server");
ftp.GetDirectory(remote, localFolder + "\\" + emoji, true, true);
check(fso.OpenTextFile(localFolder + "\\" + emoji + "\\" + emoji + ".txt").ReadAll() == "emoji",
    "a file of the tree back under its own name");
check(fso.OpenTextFile(localFolder + "\\" + emoji + "\\" + greek + "\\" + accents + ".txt").ReadAll() == "accents",
    "a nested file back under its own name");
ftp.Directory = remote;
var names = [];
for (var items = new Enumerator(ftp.Files()); !items.atEnd(); items.moveNext()) names.push(items.item().Filename);
check(("|" + names.join("|") + "|").indexOf("|" + emoji + ".txt|") >= 0, "Files lists the emoji name: " + names.length);
ftp.CodePage = 0;
names = [];
for (items = new Enumerator(ftp.Files()); !items.atEnd(); items.moveNext()) names.push(items.item().Filename);
check(("|" + names.join("|") + "|").indexOf("|smile\u00f0\u0178\u02dc\u20ac.txt|") >= 0,
    "CodePage 0 reads the raw bytes in the ANSI code page, as before");
ftp.CloseConnection();
endSuite();
