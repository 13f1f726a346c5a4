// The panel's script: shows which version of the extension is installed.
document.addEventListener("DOMContentLoaded", function () {
    document.title = "QV Plug " + document.getElementById("version").textContent;
});
