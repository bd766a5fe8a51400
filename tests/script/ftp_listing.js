// The listing from JScript: Enumerator over Files, the default member, keyed
// lookups with the collection's errors, and GetDirectoryListing.
// Wine's JScript fails on eval of a call's result in place: read into a variable first.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var workspace = "js-listing-" + env("QUORLIN_FTP_SERVER_NAME");
var localFolder = env("QUORLIN_SCRATCH") + "\\" + workspace;
fso.CreateFolder(localFolder);
var stream = fso.CreateTextFile(localFolder + "\\one.txt", true);
stream.Write("one");
stream.Close();

var ftp = new ActiveXObject("quorlin.FTP");
ftp.URL = "127.0.0.1";
ftp.Port = parseInt(env("QUORLIN_FTP_PORT"), 10);
ftp.Username = env("QUORLIN_FTP_USER");
ftp.Password = env("QUORLIN_FTP_PASSWORD");
if (env("QUORLIN_FTP_SECURITY")) ftp.Security = parseInt(env("QUORLIN_FTP_SECURITY"), 10);
if (env("QUORLIN_FTP_PROTOCOL")) ftp.Protocol = parseInt(env("QUORLIN_FTP_PROTOCOL"), 10);
ftp.HostKeyFingerprint = env("QUORLIN_SFTP_HOST_KEYS");
ftp.OpenConnection();
ftp.CreateDirectory(workspace);
ftp.Directory = workspace;
ftp.CreateDirectory("sub");
ftp.TransferType = 2;
ftp.PutFile(localFolder + "\\one.txt", "one.txt");
ftp.PutFile(localFolder + "\\one.txt", "two.txt");

var files = ftp.Files();
check(files.Count() === 3, "three entries: " + files.Count());
var walked = [];
for (var e = new Enumerator(files); !e.atEnd(); e.moveNext()) walked.push(e.item().Filename);
check(walked.length === 3 && walked[0] === files.Item(1).Filename && walked[2] === files.Item(3).Filename,
      "Enumerator walks in order: " + walked.join("|"));
check(files.Item("ONE.TXT").FileSize === 3 && files.Item("sub").FileType === 1, "keyed lookups");

var error = raised(function () { files.Item(4); });
check(error !== null && error.number === -2146828279 && error.description === "Subscript out of range",
      "position past the end: " + describe(error));
error = raised(function () { files.Item("none"); });
check(error !== null && error.number === -2146828283 && error.description === "Invalid procedure call or argument",
      "missing key: " + describe(error));
error = raised(function () { files.Item("1"); });
check(error !== null && error.number === -2146828283, "a text of digits is a key: " + describe(error));

var listing = ftp.GetDirectoryListing(1);
check(listing.split("\r\n").length === 3 && listing.indexOf("one.txt\r\n") >= 0 && listing.indexOf("two.txt\r\n") >= 0,
      "files only: " + listing);
check(ftp.GetDirectoryListing(2) === "sub\r\n", "directories only");
var line = ftp.GetDirectoryListing(5).split("\r\n")[0];
check(line === "3              " + files.Item(line.substring(15)).Filename, "size column: " + line);

ftp.DeleteFile("one.txt");
ftp.DeleteFile("two.txt");
ftp.RemoveDirectory("sub");
check(ftp.Files().Count() === 0 && ftp.GetDirectoryListing(63) === "", "emptied");
ftp.Directory = "..";
ftp.RemoveDirectory(workspace);
ftp.CloseConnection();
endSuite();
