// Every member of every class from JScript with values no page should pass:
// each call works or throws an error with a number and a description, and the
// object answers a plain call right after. The connected FTP object talks to
// the scripted server (QUORLIN_FTP_STAND_IN_PORT), which takes any command.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var shell = new ActiveXObject("WScript.Shell");
// Tree operations handed a value as a local path make folders of that name.
var scratch = env("QUORLIN_SCRATCH") + "\\hostile-js";
var files = new ActiveXObject("Scripting.FileSystemObject");
if (!files.FolderExists(scratch)) files.CreateFolder(scratch);
shell.CurrentDirectory = scratch;

// Made once: joining a million elements is slow where 32-bit code is emulated.
var millionCharacters = new Array(1000001).join("x");
var values = [
    ["null", function () { return null; }],
    ["undefined", function () { return undefined; }],
    ["an object", function () { return {}; }],
    ["an array", function () { return [1, 2]; }],
    ["a text of 1,000,000 characters", function () { return millionCharacters; }],
    ["a text with a NUL", function () { return "a\u0000b"; }],
    ["-1", function () { return -1; }],
    ["2147483647", function () { return 2147483647; }],
    ["1E+300", function () { return 1e300; }],
    ["a date", function () { return new Date(2026, 11, 8).getVarDate(); }],
    ["true", function () { return true; }]
];

// [name, "get" | "put" | arity of a method]
var members = {
    "quorlin.FTP": [["Version", "get"], ["URL", "put"], ["URL", "get"], ["Username", "put"], ["Username", "get"],
        ["Password", "put"], ["Password", "get"], ["Port", "put"], ["Port", "get"], ["Proxy", "put"],
        ["Proxy", "get"], ["Passive", "put"], ["Passive", "get"], ["TransferType", "put"], ["OnStartPage", 1],
        ["OpenConnection", 0], ["Directory", "get"], ["Directory", "put"], ["Files", 0],
        ["GetDirectoryListing", 1], ["CreateDirectory", 1], ["RemoveDirectory", 1], ["RenameFile", 2],
        ["PutFile", 2], ["GetDirectory", 4], ["PutDirectory", 3], ["GetFile", 3], ["DeleteFile", 1],
        ["CloseConnection", 0]],
    "quorlin.HTTP": [["URL", "put"], ["ServerName", "get"], ["Path", "get"], ["Version", "get"], ["GetString", 0]],
    "quorlin.FTPFile": [["ID", "put"], ["ID", "get"], ["Filename", "put"], ["Filename", "get"], ["FileType", "put"],
        ["FileType", "get"], ["FileSize", "put"], ["FileSize", "get"], ["LastAccessTime", "put"],
        ["LastAccessTime", "get"], ["LastWriteTime", "put"], ["LastWriteTime", "get"], ["CreationTime", "put"],
        ["CreationTime", "get"]],
    "quorlin.FTPFiles": [["Count", 0], ["Item", 1]]
};
var plain = {"quorlin.FTP": "Version", "quorlin.HTTP": "Version", "quorlin.FTPFile": "Filename"};

function call(object, member, value) {
    var name = member[0], kind = member[1], result;
    if (kind == "get") result = object[name];
    else if (kind == "put") object[name] = value;
    else if (kind == 0) result = object[name]();
    else if (kind == 1) result = object[name](value);
    else if (kind == 2) result = object[name](value, value);
    else if (kind == 3) result = object[name](value, value, value);
    else result = object[name](value, value, value, value);
}

// A raised error with its description, or one of the dispatch layer's own
// (a type mismatch of an argument, a wrong count), which JScript shows bare.
function handled(e) {
    if (typeof e.number != "number" || e.number == 0) return false;
    return e.description != "" || (e.number >>> 16) == 0x8002;
}

// One check per object and value: every member handled it, and the object
// answered a plain call after each.
function hammer(label, make, members, plainCall) {
    for (var v = 0; v < values.length; v++) {
        var object = make(), problems = [];
        for (var m = 0; m < members.length; m++) {
            var what = members[m][0] + " (" + members[m][1] + ")";
            var e = raised(function () { call(object, members[m], values[v][1]()); });
            if (e !== null && !handled(e)) problems.push(what + ": " + describe(e));
            var again = raised(function () { plainCall(object); });
            if (again !== null) problems.push(what + ": the object no longer answers (" + describe(again) + ")");
        }
        check(problems.length == 0, label + " with " + values[v][0] + ": " + problems.join("; "));
    }
}

for (var progId in members) {
    hammer(progId, function () { return new ActiveXObject(progId); }, members[progId], function (object) {
        var answer = progId == "quorlin.FTPFiles" ? object.Count() : object[plain[progId]];
    });
}
hammer("connected quorlin.FTP", function () {
    var ftp = new ActiveXObject("quorlin.FTP");
    ftp.URL = "127.0.0.1";
    ftp.Username = "any";
    ftp.Password = "any";
    ftp.Port = parseInt(env("QUORLIN_FTP_STAND_IN_PORT"), 10);
    ftp.Passive = true;
    ftp.OpenConnection();
    return ftp;
}, members["quorlin.FTP"], function (object) { var answer = object.Version; });
endSuite();
