// The instance list's rebuild, which the editor runs on every 16 ms refresh: every row widget
// destroyed and made again from a copy of the status table. "per_row" is the time for one row.

#include "MasterSidebarComponent.h"

#include <benchmark/benchmark.h>

namespace
{
    /** A registry holding instances that joined in order, and a list sized as in the editor. */
    struct SidebarRig
    {
        explicit SidebarRig (int instances)
        {
            for (int i = 0; i < instances; ++i)
            {
                PluginStatus status;
                status.pluginID = juce::String::formatted ("bench-instance-%03d", i);
                status.trackName = "Track " + juce::String (i + 1);
                registry->publishStatus (status);
                ids.push_back (status.pluginID);

                // Every fifth instance muted, every seventh soloed, every ninth hidden, so
                // that all the row states are built.
                AstrelCommand flags;
                flags.targetPluginID = status.pluginID;
                flags.muted = i % 5 == 0 ? std::optional<bool> (true) : std::nullopt;
                flags.soloed = i % 7 == 3 ? std::optional<bool> (true) : std::nullopt;
                flags.visible = i % 9 == 4 ? std::optional<bool> (false) : std::nullopt;
                registry->dispatchCommand (flags);
            }

            statuses = registry->getStatuses();
            selection.reconcile (statuses);

            for (size_t i = 0; i < ids.size(); i += 3)
                selection.setSelected (ids[i], true);

            sidebar.setBounds (0, 0, 180, 498);
        }

        ~SidebarRig()
        {
            for (const auto& id : ids)
                registry->removeStatus (id);
        }

        juce::SharedResourcePointer<SharedStatusManager> registry;
        std::vector<juce::String> ids;
        SharedStatusManager::StatusMap statuses;
        SelectionModel selection { juce::String() };
        MasterSidebarComponent sidebar { selection };
    };

    void sidebarSetStatuses (benchmark::State& state)
    {
        const auto rows = static_cast<int> (state.range (0));
        SidebarRig rig (rows);

        for (auto _ : state)
        {
            rig.sidebar.setStatuses (rig.statuses);
            benchmark::DoNotOptimize (rig.sidebar.labels.size());
        }

        state.counters["per_row"] = benchmark::Counter (static_cast<double> (state.iterations()) * rows,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
} // namespace

BENCHMARK (sidebarSetStatuses)->Arg (8)->Arg (64)->Unit (benchmark::kMicrosecond);
