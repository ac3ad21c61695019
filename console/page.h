// The console's page, compiled into the program: no file is read to serve
// it and nothing is fetched from elsewhere.
#pragma once

const char* pageHtml();
const char* pageCss();
const char* pageScript();
