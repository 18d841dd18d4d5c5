#include "cli/run_command.h"
#include "cli/scenario.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv)
{
    CLI::App app{"velmora-sim: the headless companion of Velmora. Runs formation-initialization scenarios\n"
                 "without a window and prints their results as JSON.",
                 "velmora-sim"};
    app.require_subcommand(1);
    velmora::addRunCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "velmora-sim: " << e.what() << " (see velmora-sim --help)\n";
        return 2;
    } catch (const velmora::ScenarioError& e) {
        std::cerr << "velmora-sim: " << e.what() << '\n';
        return 2;
    }
    return 0;
}
