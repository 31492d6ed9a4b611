// quillon-cli's log (--log FILE), event stream (install --events) and installed.
#include "CliFixture.h"

namespace quillon {
namespace {

using test::ShellQuote;

class StepsTest : public test::CliFixture {};

// Both are JSON lines: the log from "start" to "end" with the exit code and result, every kernel
// call with its status and every message with its answer; the events with each item started and
// finished in pairs, progress, messages, and the command's object (event "end") as the last line.
TEST_F(StepsTest, LogAndEventStreamAreJsonLinesEndingWithTheResult) {
    const std::string log = temp_ / "steps.jsonl";
    ASSERT_EQ(
        Cli("install " + ShellQuote(dist_) + " --collection 1 --yes --log " + ShellQuote(log)).code,
        0);
    const auto second = Cli("--log " + ShellQuote(log) + " install " + ShellQuote(dist_) +
                            " --collection 2 --events");
    ASSERT_EQ(second.code, 0) << second.output; // a dictionary already there is no failure

    const std::string checkEvents =
        "lines = [json.loads(l) for l in sys.stdin]\n"
        "open_item = None\n"
        "for e in lines[:-1]:\n"
        "    if e['event'] == 'item-started':\n"
        "        assert open_item is None, e; open_item = (e['kind'], e['key'])\n"
        "    elif e['event'] == 'item-finished':\n"
        "        assert open_item == (e['kind'], e['key']), e; open_item = None\n"
        "        print(e['kind'], e['key'], e['result'], bool(e['uid']))\n"
        "    elif e['event'] == 'message': print('message', e['id'], e['answer'])\n"
        "    else: assert e['event'] in ('progress', 'installation-ended'), e\n"
        "end = lines[-1]\n"
        "print(end['event'], end['result'], end['exitCode'], len(end['items']))\n"
        "print(sum(e['event'] == 'progress' for e in lines) > 0)\n";
    EXPECT_EQ(Python(checkEvents, second.output), "dictionary er_tech.dct installed True\n"
                                                  "message 1 ok\n"
                                                  "dictionary er_common.dct already-there True\n"
                                                  "tm er_tech.tmb installed True\n"
                                                  "profile er_tech installed False\n"
                                                  "end installed 0 4\n"
                                                  "True\n")
        << second.output;

    const std::string checkLog =
        "lines = [json.loads(l) for l in sys.stdin]\n"
        "assert all(l['time'].endswith('Z') for l in lines)\n"
        "runs = [(l['event'], l.get('exitCode'), l.get('result')) for l in lines if l['event'] in "
        "('start', 'end')]\n"
        "print(runs)\n"
        "calls = [(l['operation'], l['status']) for l in lines if l['event'] == 'kernel-call']\n"
        "print(('ImportDictionary', '0x800F000F') in calls, ('Login', '0x00000000') in calls)\n"
        "print([(l['id'], l['answer']) for l in lines if l['event'] == 'message'])\n"
        "print(all('ms' in l for l in lines if l['event'] in ('kernel-call', 'item-finished', "
        "'end')))\n";
    EXPECT_EQ(Python(checkLog, test::ReadFile(log)),
              "[('start', None, None), ('end', 0, 'installed'), ('start', None, None), ('end', 0, "
              "'installed')]\n"
              "True True\n"
              "[(1, 'ok')]\n"
              "True\n");
}

TEST_F(StepsTest, EventsBelongToInstallAndTheLogMustOpen) {
    const auto events = Cli("list " + ShellQuote(dist_) + " --events");
    EXPECT_EQ(events.code, 2);
    EXPECT_EQ(
        Python("d = json.loads(sys.stdin.read()); print(d['event'], d['exitCode'])", events.output),
        "end 2\n");
    EXPECT_EQ(Cli("directions --log " + ShellQuote(temp_ / "no/such/folder/log")).code, 1);
    EXPECT_EQ(Cli("directions --log").code, 2);
}

TEST_F(StepsTest, InstalledListsWhatInstallPutThere) {
    const std::string summary =
        "d = json.loads(sys.stdin.read())\n"
        "for x in d['directions']:\n"
        "    print(x['code'], [(c['name'], c['state'], c['listed']) for c in x['collections']])\n";
    const auto before = Cli("installed --json");
    ASSERT_EQ(before.code, 0);
    EXPECT_EQ(Python(summary, before.output), "ER []\nRE []\n");
    ASSERT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 1 --yes").code, 0);
    ASSERT_EQ(Cli("install " + ShellQuote(dist_) + " --collection 2 --yes").code, 0);
    const auto after = Cli("installed --json");
    ASSERT_EQ(after.code, 0);
    EXPECT_EQ(Python(summary, after.output),
              "ER [('Общая лексика', 0, True), ('Техника и компьютеры', 0, True)]\nRE []\n");
    const auto one = Cli("installed --direction ER");
    EXPECT_EQ(one.output, "ER  Англо-русский: 2\n  Общая лексика\n  Техника и компьютеры\n");
    EXPECT_EQ(Cli("installed --direction XX").code, 2);
    EXPECT_EQ(Cli("installed --direction GR").code, 2); // a direction the kernel does not have
}

} // namespace
} // namespace quillon
