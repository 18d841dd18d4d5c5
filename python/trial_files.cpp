#include "trial_files.h"

#include "python_documents.h"
#include "text/json_writer.h"
#include "trial_table.h"
#include "trials/batch_report.h"
#include "trials/step_clock.h"
#include "trials/trial_file_reader.h"
#include "trials/trial_merge.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace py = pybind11;

namespace velmora {
namespace {

// The shortest row of a trial file with its parameters takes this many bytes: a bound on the rows a file
// of its size can hold, so that a table too large for memory is refused before it is read.
constexpr std::uintmax_t leastRowBytes = 64;

std::string fileName(py::handle path)
{
    if (!py::isinstance<py::str>(path) && !py::hasattr(path, "__fspath__"))
        throw py::type_error("a trial file's path must be a str or a path object, not " +
                             py::str(py::type::of(path).attr("__name__")).cast<std::string>());
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

}  // namespace

py::object readTrials(const py::object& path)
{
    TrialFileReader reader(fileName(path));
    std::error_code error;
    if (const auto bytes = std::filesystem::file_size(reader.path(), error); !error)
        TrialTable::checkSize(bytes / leastRowBytes);
    std::vector<TrialOrigin> cells;
    std::map<TrialParameterTexts, std::size_t> cellOf;
    TrialTable table;
    StepClock clock;
    while (auto row = reader.next()) {
        // Rows written before they named their parameters do not say which run made them.
        if (!row->origin)
            reader.fail("the row names no parameters (a file from before trial files named them); velmora-sim "
                        "merge reads such files with the run's options");
        reader.check(*row, *row->origin, clock);
        const auto [cell, added] = cellOf.try_emplace(trialParameterTexts(*row->origin), cells.size());
        if (added)
            cells.push_back(*row->origin);
        // A CSV file writes the time to two decimals; the time is the one after its step, to the last bit.
        if (row->result.initialized && !row->csvTime.empty())
            row->result.timeToInitialize = clock.timeAfter(row->result.stepsToInitialize);
        table.add(row->result, cell->second);
    }
    return table.table(cells);
}

py::object mergeTrials(const py::object& paths)
{
    MergeRequest request;
    if (py::isinstance<py::str>(paths) || py::hasattr(paths, "__fspath__"))
        request.paths.push_back(fileName(paths));
    else
        for (const py::handle path : paths)
            request.paths.push_back(fileName(path));
    // The files state their parameters; none is given here, so no option is ever named.
    const TrialRequest defaults(commandLineNames);
    request.options.setup = defaults.setup();
    request.options.setup.duration = defaults.batchSetup().duration;
    request.options.range = defaults.askedTrials();
    MergedTrials merged;
    {
        py::gil_scoped_release release;
        merged = mergeTrialFiles(request);
    }
    const std::vector<std::string> command = pythonCommand();
    return pythonDocument(merged.sweep ? sweepJson(merged.cells, command, false)
                                       : batchRunJson(merged.cells.front(), command, false));
}

}  // namespace velmora
