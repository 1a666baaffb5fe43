// zu_zozov: checks group rules and classifies books of holdings with them.
//
//   zu_zozov check [--columns BOOK.csv] [--db FILE] FILE...
//   zu_zozov classify --rules DIR [--db FILE] [--rejects FILE] [-o OUT.csv] BOOK.csv
//   zu_zozov tree --rules DIR --def DEF.xml [--db FILE] [--rejects FILE] [-o PATHS.csv]
//                 [--xml OUT.xml] [--html OUT.html] BOOK.csv
//
// Exit status: 0 success; 1 a problem in the rules or the data; 2 bad usage,
// an unreadable input or an output that cannot be written.
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/commands.h"
#include "tools/logSummary.h"
#include "tools/outputFile.h"
#include "tools/toolError.h"

using namespace qvt::ht::tool;

namespace {

void addDb(CLI::App* app, std::string& db) {
    app->add_option("--db", db,
                    "SQLite database, or a .sql script loaded into memory, that answers inSql, "
                    "inPool, property values and account rules");
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    CLI::App app(
        "zu_zozov: check group rules and classify books of holdings with them.\n"
        "Exit status: 0 success, 1 a problem in the rules or the data, 2 bad usage "
        "or an unreadable input.");
    app.require_subcommand(1);
    app.fallthrough();  // -v also after the subcommand
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "also print the library's load and unload records");
    app.set_version_flag("--version", "zu_zozov 0.1.0");

    CCheckOptions check;
    CLI::App* checkCmd = app.add_subcommand(
        "check", "Compile and check group rules and definition trees, compiler-style.");
    checkCmd
        ->add_option("--columns", check.columns,
                     "a book (CSV) whose header gives the attributes and their types")
        ->check(CLI::ExistingFile);
    addDb(checkCmd, check.db);
    checkCmd->add_option("FILE", check.files, "rule files, definition trees or directories of them")
        ->required();

    CClassifyOptions classify;
    CLI::App* classifyCmd = app.add_subcommand(
        "classify", "Classify every holding of a book by every rule of a directory, as CSV.");
    classifyCmd->add_option("--rules", classify.rules, "directory of rules, one per *.xml")
        ->required();
    addDb(classifyCmd, classify.db);
    classifyCmd->add_option("--rejects", classify.rejects,
                            "CSV file for the rows that cannot be classified (line, reason, raw "
                            "line); without it the first such row stops the run");
    classifyCmd->add_option("-o,--output", classify.out, "output CSV, - for standard output")
        ->capture_default_str();
    classifyCmd->add_option("BOOK", classify.book, "book of holdings (CSV), - for standard input")
        ->required();

    CTreeOptions tree;
    CLI::App* treeCmd = app.add_subcommand(
        "tree", "Sort a book into a classification tree: paths per holding and a summary.");
    treeCmd->add_option("--rules", tree.rules, "directory of rules, one per *.xml")->required();
    treeCmd->add_option("--def", tree.def, "definition tree (XML)")->required();
    addDb(treeCmd, tree.db);
    treeCmd->add_option("--rejects", tree.rejects, "CSV file for the rows that cannot be read");
    treeCmd->add_option("-o,--output", tree.out,
                        "CSV of I_CODE,ACCT_CODE,CODE,PATH per holding, - for standard output");
    treeCmd->add_option("--xml", tree.xml,
                        "the tree with its holdings as XML (holds the book "
                        "in memory)");
    treeCmd->add_option("--html", tree.html, "one self-contained HTML page of the tree");
    treeCmd->add_option("BOOK", tree.book, "book of holdings (CSV), - for standard input")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? EXIT_OK : EXIT_USAGE;
    }

    startLogSummary(verbose);
    installInterruptHandlers();
    int status = EXIT_OK;
    try {
        if (*checkCmd) status = runCheck(check);
        if (*classifyCmd) status = runClassify(classify);
        if (*treeCmd) status = runTree(tree);
    } catch (const CToolError& e) {
        std::cerr << "zu_zozov: " << e.what() << '\n';
        status = e.getStatus();
    } catch (const std::exception& e) {
        std::cerr << "zu_zozov: " << e.what() << '\n';
        status = EXIT_PROBLEM;
    }
    std::cout.flush();
    printLogSummary(std::cerr);
    return status;
}
