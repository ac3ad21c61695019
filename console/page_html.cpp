// The page's skeleton; console.js fills it in from the API.
#include "console/page.h"

const char* pageHtml() {
  return R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Rig console: Tavik uploader</title>
<link rel="stylesheet" href="/console.css">
<script src="/console.js" defer></script>
</head>
<body>
<header>
  <h1>Rig console</h1>
  <span id="link" class="link">connecting</span>
</header>
<main>
<section id="start">
  <h2>Upload</h2>
  <form id="upload-form">
    <label>Image <input type="file" id="image" name="image" required></label>
    <p id="image-info" class="info"></p>
    <label>Lines <input type="text" id="adapters" name="adapter" value="sim:4"
      placeholder="sim:4 ftdi:all artnet:10.0.0.5:1" autocomplete="off" spellcheck="false"></label>
    <div class="row">
      <label>Profile <select id="profile" name="profile">
        <option value="v1.2">v1.2</option><option value="v1.1">v1.1</option>
        <option value="early">early</option></select></label>
      <label>Addresses <input type="text" id="address" name="address" value="1" size="8"></label>
    </div>
    <div class="row">
      <label class="check"><input type="checkbox" id="fast" name="fast" value="1"> Fast</label>
      <label class="check"><input type="checkbox" id="read-back" name="read_back" value="1">
        Read back over RDM</label>
    </div>
    <button type="submit" id="start-button">Start upload</button>
    <p id="refusal" class="refusal" role="alert"></p>
  </form>
</section>
<section id="runs-section">
  <h2>Uploads</h2>
  <p id="no-runs" class="info">No upload yet.</p>
  <div id="runs"></div>
</section>
<section id="adapters-section">
  <h2>Adapters</h2>
  <div id="drivers" class="info">listing…</div>
  <form id="fixtures-form" class="row">
    <label>Fixtures on <input type="text" id="fixtures-adapter" placeholder="artnet:10.0.0.5:1"
      spellcheck="false"></label>
    <button type="submit">Read over RDM</button>
  </form>
  <div id="fixtures"></div>
</section>
<section id="records-section">
  <h2>Service records</h2>
  <div id="records" class="info"></div>
</section>
</main>
</body>
</html>
)html";
}
