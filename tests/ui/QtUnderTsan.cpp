// Under ThreadSanitizer: Qt's own libraries are not instrumented, so the
// checker cannot see how Qt's thread pool (used by Qt to convert and scale
// large images while windows paint) hands its tasks over, and reports the
// pool's allocations as races. What Qt's libraries themselves allocate and
// free is left out of the check; every access of our code is still checked.
// Linked into every window test program.

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "called_from_lib:libQt6Test.so.6\n";
}
#endif
