// Tries what a hostile book would: read files outside its folder.
var probe = { reads: [] };
function tryRead(address) {
    try {
        var request = new XMLHttpRequest();
        request.open("GET", address, false);
        request.send(null);
        probe.reads.push(address + "=" + request.status + ":" + request.responseText.length);
    } catch (e) {
        probe.reads.push(address + "=refused");
    }
}
