// The spreadsheet server's portable part: workbooks and CSV, control file, journal lines.
#include <gtest/gtest.h>

#include "tools/xlserver/ServerControl.h"
#include "tools/xlserver/SheetModel.h"

namespace {

using namespace virel::xl;

TEST(SheetBook, CsvCoversTheUsedRectangleWithEmptyCellsLeftEmpty) {
    TSheetBook book("Book1");
    EXPECT_EQ(book.Csv(), "");
    book.SetValue(1, 2, "Архив ВИРЕЛ1 №42 на 06.12.2026");
    book.SetValue(2, 1, "Дата, время");
    book.SetValue(2, 2, "Номер измерения");
    book.SetValue(2, 3, "Доза, Гр*см^2");
    book.SetValue(5, 3, "0.125");
    EXPECT_EQ(book.RowCount(), 5);
    EXPECT_EQ(book.ColumnCount(), 3);
    EXPECT_EQ(book.Csv(),
              ",Архив ВИРЕЛ1 №42 на 06.12.2026,\r\n"
              "\"Дата, время\",Номер измерения,\"Доза, Гр*см^2\"\r\n"
              ",,\r\n"
              ",,\r\n"
              ",,0.125\r\n");
}

TEST(SheetBook, ValuesAreReplacedAndClearedAndFontsDoNotWidenTheSheet) {
    TSheetBook book("Book2");
    book.SetValue(3, 1, "old");
    book.SetValue(3, 1, "new");
    EXPECT_EQ(book.Find(3, 1)->text, "new");
    book.SetFontSize(10, 10, 14);
    EXPECT_EQ(book.FontSize(10, 10), 14);
    EXPECT_EQ(book.FontSize(1, 1), kDefaultFontSize);
    EXPECT_EQ(book.Find(1, 1), nullptr);
    EXPECT_EQ(book.RowCount(), 3);
    EXPECT_EQ(book.ColumnCount(), 1);
    book.SetValue(3, 1, "");
    EXPECT_FALSE(book.Find(3, 1)->hasValue);
    EXPECT_EQ(book.Csv(), "");
}

TEST(SheetBook, CsvFieldsQuoteWhatWouldBreakARecord) {
    EXPECT_EQ(CsvField("plain text"), "plain text");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
    EXPECT_EQ(CsvField(""), "");
}

TEST(SheetBook, AddressesAreCheckedAgainstTheSheetSize) {
    EXPECT_TRUE(ValidCell(1, 1));
    EXPECT_TRUE(ValidCell(kMaxRow, kMaxColumn));
    EXPECT_FALSE(ValidCell(0, 1));
    EXPECT_FALSE(ValidCell(1, 0));
    EXPECT_FALSE(ValidCell(-5, 3));
    EXPECT_FALSE(ValidCell(kMaxRow + 1, 1));
    EXPECT_FALSE(ValidCell(1, kMaxColumn + 1));
}

TEST(BookSet, NewWorkbookBecomesTheActiveOne) {
    TBookSet books;
    EXPECT_EQ(books.ActiveIndex(), 0);
    EXPECT_EQ(books.Add(), 1);
    EXPECT_EQ(books.Add(), 2);
    EXPECT_EQ(books.ActiveIndex(), 2);
    EXPECT_EQ(books.At(1).Name(), "Book1");
    EXPECT_EQ(books.At(2).Name(), "Book2");
    books.At(1).SetValue(1, 1, "first");
    books.Activate(1);
    EXPECT_EQ(books.ActiveIndex(), 1);
    EXPECT_EQ(books.At(books.ActiveIndex()).Find(1, 1)->text, "first");
    EXPECT_THROW(books.Activate(3), std::out_of_range);
    EXPECT_THROW(books.Activate(0), std::out_of_range);
    EXPECT_EQ(books.ActiveIndex(), 1);
}

TEST(ServerOptions, ControlFileSetsEachOption) {
    const TServerOptions options = ParseOptions(
        "\xEF\xBB\xBF# failures for one test\r\n"
        "RefuseAdd = Книга не добавлена\r\n"
        "failcellsafterrow=12\r\n"
        "FailDescription=Ячейка занята\r\n"
        "FailHResult=0x80070005\r\n"
        "ExitAfterCalls=40\r\n"
        "ExitAtRow=100\r\n"
        "DelayMs=250\r\n");
    ASSERT_TRUE(options.refuseAdd);
    EXPECT_EQ(*options.refuseAdd, "Книга не добавлена");
    EXPECT_EQ(options.failCellsAfterRow, 12);
    EXPECT_EQ(options.failDescription, "Ячейка занята");
    EXPECT_EQ(options.failHResult, 0x80070005u);
    EXPECT_EQ(options.exitAfterCalls, 40);
    EXPECT_EQ(options.exitAtRow, 100);
    EXPECT_EQ(options.delayMs, 250);
}

TEST(ServerOptions, NoFileOrNonsenseMeansNoFailure) {
    EXPECT_EQ(ParseOptions(""), TServerOptions{});
    const TServerOptions options = ParseOptions(
        "FailCellsAfterRow=many\n"
        "ExitAtRow=-3\n"
        "DelayMs=10ms\n"
        "FailHResult=0x\n"
        "ExitAfterCalls\n"
        "UnknownKey=1\n"
        "# RefuseAdd=commented out\n");
    EXPECT_EQ(options, TServerOptions{});
    // An empty refusal text still refuses (with the server's own wording).
    const TServerOptions refuse = ParseOptions("RefuseAdd=");
    ASSERT_TRUE(refuse.refuseAdd);
    EXPECT_TRUE(refuse.refuseAdd->empty());
    EXPECT_EQ(ParseOptions("FailHResult=2147942405").failHResult, 0x80070005u);
}

TEST(Journal, LinesHaveTimeObjectMemberKindAndArguments) {
    EXPECT_EQ(KindText(kKindMethod | kKindGet), "method|get");
    EXPECT_EQ(KindText(kKindPut), "put");
    EXPECT_EQ(KindText(kKindPutRef), "putref");
    EXPECT_EQ(KindText(0), "none");
    EXPECT_EQ(JournalLine(1234, "Application", "Cells", "get", "i4:1 i4:2"),
              "1234 Application Cells get i4:1 i4:2\n");
    EXPECT_EQ(JournalLine(0, "Workbooks", "Add", "method|get", ""),
              "0 Workbooks Add method|get -\n");
}

TEST(Journal, QuotedTextsStayOnOneLine) {
    EXPECT_EQ(QuoteText("Архив"), "\"Архив\"");
    EXPECT_EQ(QuoteText("a \"b\" c\\d"), "\"a \\\"b\\\" c\\\\d\"");
    EXPECT_EQ(QuoteText("1\r\n2\t3"), "\"1\\r\\n2\\t3\"");
}

}  // namespace
