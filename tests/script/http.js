// The HTTP object from JScript: the URL as a value, pages and errors.
// Wine's JScript fails on eval of a call's result in place: read into a variable first.
var suiteText = new ActiveXObject("Scripting.FileSystemObject")
    .OpenTextFile(WScript.ScriptFullName.replace(WScript.ScriptName, "suite.js")).ReadAll();
eval(suiteText);
var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var stream = fso.CreateTextFile(env("QUORLIN_WWW") + "\\js.txt", true);
stream.Write("from JScript\r\n");
stream.Close();

var http = new ActiveXObject("quorlin.HTTP");
http.URL = "https://host:81/a";
check(http.ServerName === "host:81" && http.Path === "/a", "split: " + http.ServerName + " " + http.Path);
var e = raised(function () { var u = http.URL; });
check(e !== null && e.number === -2147352573, "URL has no reader: " + describe(e));

http.URL = "127.0.0.1:" + env("QUORLIN_HTTP_PORT") + "/js.txt";
var page = null;
e = raised(function () { page = http.GetString(); });
check(e === null && page === "from JScript\r\n", "page: " + describe(e));
e = raised(function () { page = http.GetString(); });
check(e === null && page === "from JScript\r\n", "again: " + describe(e));
http.URL = "127.0.0.1:1/js.txt";
e = raised(function () { page = http.GetString(); });
check(e !== null && e.number === -2147220503 &&
      e.description.indexOf("Error opening request received from remote server.GetString error code: 12029 ") === 0,
      "refused port: " + describe(e));
var fresh = new ActiveXObject("quorlin.HTTP");
e = raised(function () { fresh.GetString(); });
check(e !== null && e.number === -2147220500 &&
      e.description === "No URL set.  Please ensure that the URL property is set.", "no URL: " + describe(e));
endSuite();
