#include "cli/upload_views.h"

#include "session/address_list.h"

void SingleLineView::lineState(std::size_t, LineState state, const std::vector<int>&) {
  if (state == LineState::sending) op_.lineOpens();
  if (state == LineState::closing) op_.lineCloses();
}

void SingleLineView::closingBox(std::size_t, const std::string& text, bool error) {
  if (error) {
    op_.errorBox(text.c_str());
  } else if (hold_) {
    op_.lineCloses();
    held_ = text;
  } else {
    op_.infoBox(text.c_str());
  }
}

void SingleLineView::showHeld() {
  if (!held_.empty()) op_.infoBox(held_.c_str());
  held_.clear();
}

ManyLinesView::ManyLinesView(const std::vector<std::string>& labels, LogSink& log, bool quiet,
                             bool viewOnTerminal, bool keepLogs)
    : log_(log), view_(stderr, viewOnTerminal, quiet) {
  for (const std::string& label : labels) {
    view_.addRow(label);
    logs_.push_back(std::make_unique<LabelledLog>(label, keepLogs ? nullptr : &log, outLock_));
  }
}

ManyLinesView::~ManyLinesView() { stop(); }

void ManyLinesView::stop() {
  if (stopped_) return;
  stopped_ = true;
  view_.stop();
  for (const auto& l : logs_)
    if (!l->kept().empty()) log_.write(l->kept().c_str());
}

void ManyLinesView::lineState(std::size_t line, LineState state,
                              const std::vector<int>& addresses) {
  if (state == LineState::opening) view_.setAddress(line, addressListText(addresses));
  if (state == LineState::opening || state == LineState::sending)
    view_.setState(line, stateWord(state));
}

void ManyLinesView::result(const UploadReport& result) {
  view_.setState(result.line, outcomeWord(result.outcome));
}
