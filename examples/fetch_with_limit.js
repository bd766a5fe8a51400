// Fetches a page with a time limit and reports what the server said:
//   cscript //nologo fetch_with_limit.js www.example.com/status [seconds]
// A page that does not come within the limit (nothing arriving for that many
// seconds) is a failure of its own, and the status tells a missing page from
// a served one.
var args = WScript.Arguments;
if (args.length < 1) {
    WScript.Echo("usage: fetch_with_limit.js url [seconds]");
    WScript.Quit(2);
}
var http = new ActiveXObject("quorlin.HTTP");
http.Timeout = args.length > 1 ? parseInt(args(1), 10) : 10;
http.URL = args(0);
var page = null;
try {
    page = http.GetString();
} catch (e) {
    // e.number is negative: the HRESULT as a signed number.
    WScript.Echo("no page from " + http.ServerName + http.Path + ": " + e.description);
    WScript.Quit(1);
}
if (http.Status == 200) {
    WScript.Echo("status 200, " + page.length + " characters");
    var title = /<title>([^<]*)<\/title>/i.exec(page);
    if (title) WScript.Echo("title: " + title[1]);
} else {
    WScript.Echo("the server said " + http.Status + " for " + http.Path);
    WScript.Quit(1);
}
