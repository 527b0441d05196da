#pragma once
// What assistive technology reads of a log box: an editable multi-line text
// whose value is the log's text.

// Makes the accessibility framework read every log box so; once is enough,
// more calls do nothing.
void InstallLogViewAccessibility();
