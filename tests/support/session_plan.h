// A plan for a session of uploads from an image file, for tests and
// benchmarks that run the session library directly.
#pragma once

#include <memory>
#include <string>

#include "profiles/profiles.h"
#include "session/session.h"

inline UploadPlan planFor(const std::string& path, const char* profile = "v1.2", bool fast = true) {
  auto image = std::make_shared<ImageBytes>();
  std::string error;
  if (!loadImage(path, *image, error)) image->name = path;  // the upload refuses it
  UploadPlan plan;
  plan.image = image;
  plan.profile = findProfile(profile);
  plan.fast = fast;
  return plan;
}

// Runs the plan on the lines, showing nothing.
inline std::vector<UploadReport> runQuietly(const UploadPlan& plan,
                                            std::vector<SessionLine>& lines) {
  SessionObserver nobody;
  return UploadSession(plan, lines, nobody).run();
}

inline bool allDone(const std::vector<UploadReport>& reports) {
  for (const UploadReport& r : reports)
    if (r.outcome != Outcome::done) return false;
  return !reports.empty();
}
