// The application: shows the one window and ends when it closes.
#pragma once

class CVintrelApp {
 public:
  // Runs the window modally; false tells the caller there is nothing left
  // to run.
  bool InitInstance();
};
