#include "spotter/CommandLineRun.h"

#include <windows.h>

#include <string>

#include "platform/Platform.h"
#include "search/EscapeChars.h"
#include "settings/TaskTrayAppIniFile.h"
#include "spotter/ConsoleOutput.h"
#include "spotter/FolderListing.h"
#include "spotter/NameFilter.h"
#include "spotter/QueryClient.h"

namespace {

// The message and exit code of a query that did not give an answer.
int ReportFailure(ConsoleOutput& console, QueryOutcome outcome) {
  switch (outcome) {
    case QueryOutcome::NotRunning:
      console.Error(L"Spotter: Kanasift is not running; start Kanasift.exe first.\r\n");
      return kExitNoKanasift;
    case QueryOutcome::NoDictionary:
      console.Error(L"Spotter: Kanasift could not open its Migemo dictionary (see DictPath in Kanasift.ini).\r\n");
      return kExitNoDictionary;
    case QueryOutcome::TooLong:
      console.Error(L"Spotter: the word is too long for Kanasift's query service.\r\n");
      return kExitUsage;
    case QueryOutcome::NoAnswer:
    default:
      console.Error(L"Spotter: Kanasift did not answer in time.\r\n");
      return kExitNoAnswer;
  }
}

int RunQuery(const SpotterOptions& options) {
  ConsoleOutput console(options.utf8);
  QueryClient client;
  std::string answer;
  QueryOutcome outcome = client.Ask(platform::WideToAnsi(options.word), kDefaultEscapeChars, answer);
  if (outcome != QueryOutcome::Answered) return ReportFailure(console, outcome);
  console.Out(answer);
  console.Out(std::string_view("\r\n"));
  return kExitOk;
}

int RunFind(const SpotterOptions& options) {
  ConsoleOutput console(options.utf8);
  const std::wstring folder = FullFolderPath(options.folder);
  std::vector<FolderEntry> entries;
  DWORD error = 0;
  if (!ListFolder(folder, entries, error)) {
    console.Error(L"Spotter: cannot read the folder " + folder + L" (error " + std::to_wstring(error) + L").\r\n");
    return kExitNoFolder;
  }

  TaskTrayAppIniFile settings;
  SearchOptions searchOptions = SearchOptionsFrom(settings);
  if (options.partial) searchOptions.isUsePartialMatch = true;

  QueryClient client;
  KanasiftDictionary dictionary(client);
  NameFilter filter(dictionary);
  filter.SetInput(platform::WideToAnsi(options.word), searchOptions);
  if (filter.state() == FilterState::DictionaryFailed) return ReportFailure(console, dictionary.lastOutcome());
  if (filter.state() == FilterState::PatternError) {
    console.Error(L"Spotter: the expansion of the word is not a valid regular expression.\r\n");
    return kExitUsage;
  }
  for (const FolderEntry& entry : entries) {
    if (!filter.Matches(entry.ansiName)) continue;
    console.Out(std::wstring_view(entry.name));
    console.Out(std::wstring_view(entry.isFolder ? L"\\\r\n" : L"\r\n"));
  }
  return kExitOk;
}

}  // namespace

int RunCommandLine(const SpotterOptions& options) {
  switch (options.mode) {
    case SpotterMode::Query:
      return RunQuery(options);
    case SpotterMode::Find:
      return RunFind(options);
    case SpotterMode::Help: {
      ConsoleOutput console(false);
      console.Out(std::string_view(SpotterUsage()));
      return kExitOk;
    }
    case SpotterMode::Window:
    default:
      return kExitUsage;
  }
}
