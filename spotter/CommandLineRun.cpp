#include "spotter/CommandLineRun.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/Platform.h"
#include "search/EscapeChars.h"
#include "settings/TaskTrayAppIniFile.h"
#include "spotter/ConsoleOutput.h"
#include "spotter/FilterWorker.h"
#include "spotter/FolderLister.h"
#include "spotter/NameFilter.h"
#include "spotter/QueryClient.h"
#include "spotter/ShellActions.h"

namespace {

// The message and exit code of a query that did not give an answer.
int ReportFailure(ConsoleOutput& console, QueryOutcome outcome, const SpotterTexts& texts) {
  switch (outcome) {
    case QueryOutcome::NotRunning:
      console.Error(texts.cliNotRunning);
      return kExitNoKanasift;
    case QueryOutcome::NoDictionary:
      console.Error(texts.cliNoDictionary);
      return kExitNoDictionary;
    case QueryOutcome::TooLong:
      console.Error(texts.cliTooLong);
      return kExitUsage;
    case QueryOutcome::NoAnswer:
    default:
      console.Error(texts.cliNoAnswer);
      return kExitNoAnswer;
  }
}

int RunQuery(const SpotterOptions& options, const SpotterTexts& texts) {
  ConsoleOutput console(options.utf8);
  QueryClient client;
  std::string answer;
  QueryOutcome outcome = client.Ask(platform::WideToAnsi(options.word), kDefaultEscapeChars, answer);
  if (outcome != QueryOutcome::Answered) return ReportFailure(console, outcome, texts);
  console.Out(answer);
  console.Out(std::string_view("\r\n"));
  return kExitOk;
}

// Everything under the folder that matches, one full path per line, in tree order
// (a folder's entries by name, then its subfolders').
int RunFind(const SpotterOptions& options, const SpotterTexts& texts) {
  ConsoleOutput console(options.utf8);
  TaskTrayAppIniFile settings;
  SearchOptions searchOptions = SearchOptionsFrom(settings);
  if (options.partial) searchOptions.isUsePartialMatch = true;

  // Kanasift first: without it a long word fails at once, before any folder is read.
  KanasiftDictionary dictionary;
  NameFilter filter(options.word, searchOptions, dictionary);
  if (filter.state() == FilterState::Unexpanded) return ReportFailure(console, dictionary.lastOutcome(), texts);
  if (filter.state() == FilterState::PatternError) {
    console.Error(texts.cliPatternError);
    return kExitUsage;
  }

  const std::wstring folder = FullFolderPath(options.folder);
  const ShowOptions show = ExplorerShowOptions();
  EntryIndex index(folder);
  Win32DirectoryReader reader;
  FolderWalk walk(index, reader, {}, show);
  std::atomic<bool> cancel{false};
  if (!walk.Run(cancel)) {
    console.Error(Fill(texts.cliFolderError, {folder, std::to_wstring(walk.rootError())}));
    return kExitNoFolder;
  }
  index.ComputeOrder(&ExplorerSortKey);
  EntryMatcher matcher(filter, index, show);
  for (std::uint32_t entry : SortedEntries(index, SortColumn::Folder)) {
    if (!matcher.Matches(entry)) continue;
    console.Out(std::wstring_view(index.FullPath(entry)));
    console.Out(std::wstring_view(L"\r\n"));
  }
  const std::uint32_t unreadable = walk.counts().unreadable.load();
  if (unreadable > 0) console.Error(Fill(texts.cliUnreadable, {std::to_wstring(unreadable)}));
  return kExitOk;
}

}  // namespace

int RunCommandLine(const SpotterOptions& options, const SpotterTexts& texts) {
  switch (options.mode) {
    case SpotterMode::Query:
      return RunQuery(options, texts);
    case SpotterMode::Find:
      return RunFind(options, texts);
    case SpotterMode::Help: {
      ConsoleOutput console(false);
      console.Out(std::wstring_view(SpotterUsage(texts)));
      return kExitOk;
    }
    case SpotterMode::Window:
    default:
      return kExitUsage;
  }
}
