#include "batch/scenario.h"
#include "cli/batch_command.h"
#include "cli/replay_command.h"
#include "cli/run_command.h"
#include "cli/sweep_command.h"
#include "cli/trial_options.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    CLI::App app{"velmora-sim: the headless companion of Velmora. Runs formation-initialization scenarios\n"
                 "without a window and prints their results as JSON; runs Monte Carlo batches and sweeps of them.",
                 "velmora-sim"};
    app.require_subcommand(1);
    velmora::addRunCommand(app);
    velmora::addBatchCommand(app);
    velmora::addReplayCommand(app);
    velmora::addSweepCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "velmora-sim: " << e.what() << " (see velmora-sim --help)\n";
        return 2;
    } catch (const velmora::OptionError& e) {
        std::cerr << "velmora-sim: " << e.what() << '\n';
        return 2;
    } catch (const velmora::ScenarioError& e) {
        std::cerr << "velmora-sim: " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        // The input was good but the run failed, e.g. a full disk while writing results.
        std::cerr << "velmora-sim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
