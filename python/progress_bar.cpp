#include "progress_bar.h"

namespace py = pybind11;

namespace velmora {

ProgressBar::ProgressBar(bool wanted, std::uint64_t total, const std::string& description)
{
    if (!wanted)
        return;
    py::object tqdm;
    try {
        tqdm = py::module_::import("tqdm.auto").attr("tqdm");
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError))
            throw;
        return;
    }
    bar_ = tqdm(py::arg("total") = total, py::arg("desc") = description, py::arg("unit") = "trial",
                py::arg("delay") = 1.0);
}

ProgressBar::~ProgressBar()
{
    // Left by an exception (a Ctrl+C, a failed run): the bar ends where the trials stopped. The exception
    // in flight is what the caller sees, not a failure to close the bar.
    if (!bar_)
        return;
    try {
        bar_.attr("close")();
    } catch (py::error_already_set&) {
        PyErr_Clear();
    }
}

void ProgressBar::update(std::uint64_t done)
{
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0)
        throw py::error_already_set();
    if (bar_ && done > shown_) {
        bar_.attr("update")(done - shown_);
        shown_ = done;
    }
}

void ProgressBar::close()
{
    if (!bar_)
        return;
    bar_.attr("close")();
    bar_ = py::object();
}

}  // namespace velmora
