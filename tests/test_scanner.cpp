// The markup scanner on inputs held in memory: the four operations, their flags, the line
// counter, over-long texts at the buffer's limit, and reading on across the inputs of a list;
// and the inputs it reads: a file, and a source of the caller's.
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "files.hpp"
#include "reader.hpp"

namespace {

// The scanner's own state over a list of inputs, one after another, as list mode gives them.
struct Vstupy {
  reader::State s;
  std::vector<std::string> texts;
  std::size_t next = 0;
  std::size_t piece = 3;  // small pieces on purpose
  std::size_t hidden = 0; // bytes at the end of each text that are not input

  // The end of an input (reader::KonecVstupu): the next text, while there is one.
  static bool open_next(void *self, reader::State &s) {
    auto &in = *static_cast<Vstupy *>(self);
    if (in.next >= in.texts.size())
      return false;
    const std::string &t = in.texts[in.next++];
    std::string_view input = std::string_view(t).substr(0, t.size() - in.hidden);
    s.insoub = std::make_unique<reader::Input>(input, in.piece);
    return true;
  }
};

class Scanner : public ::testing::Test {
protected:
  void feed(std::vector<std::string> texts, std::size_t piece = 3, std::size_t hidden = 0) {
    in_ = std::make_unique<Vstupy>();
    in_->piece = piece;
    in_->hidden = hidden;
    in_->texts = std::move(texts);
    Vstupy::open_next(in_.get(), in_->s);
    in_->s.konec_vstupu = Vstupy::open_next;
    in_->s.konec_kontext = in_.get();
  }
  reader::State &s() { return in_->s; }
  std::string name() {
    report::Pole<300> buf;
    EXPECT_EQ(reader::dej_element(s(), buf), 0);
    return std::string(buf.view());
  }

private:
  std::unique_ptr<Vstupy> in_;
};

TEST_F(Scanner, ReadsAnElementWithContent) {
  feed({"<rok>2008</rok>"});
  report::Pole<300> buf;
  EXPECT_EQ(name(), "rok");
  EXPECT_EQ(s().je_ZAVZAV, 'A');
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'A'), 0);
  EXPECT_EQ(reader::dej_obsah(s(), buf), 0);
  EXPECT_EQ(buf.view(), "2008");
  EXPECT_EQ(s().je_OTVZAV, 'A');
  EXPECT_EQ(name(), "/rok");
  EXPECT_EQ(reader::dej_element(s(), buf), -1);
}

TEST_F(Scanner, NamesLoseTheirFirstPrefixKeepTabsAndEndAtALineFeed) {
  feed({"<kuf:rok><xkuf:rok><a:kuf:b><kuf:kuf:c><rok\ta><rok\nb>"});
  EXPECT_EQ(name(), "rok");
  EXPECT_EQ(name(), "/rok"); // any first character becomes "/"
  EXPECT_EQ(name(), "a:kuf:b");
  EXPECT_EQ(name(), "kuf:c");
  EXPECT_EQ(name(), "rok\ta");
  EXPECT_EQ(name(), "rok");
  EXPECT_EQ(s().cislo_radky, 2);
}

TEST_F(Scanner, RestOfATagByMode) {
  feed({"<rok a=\"1\"  b=\"2\">", "<rok a=\"1\"  b=\"2\">", "<autor />", "<autor/>"});
  report::Pole<300> buf;
  EXPECT_EQ(name(), "rok");
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'A'), 2);
  EXPECT_EQ(buf.view(), "a=\"1\"b=\"2\"");
  EXPECT_EQ(name(), "rok");
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'N'), 2);
  EXPECT_EQ(buf.view(), "a=\"1\"  b=\"2\"");
  EXPECT_EQ(name(), "autor");
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'A'), 2);
  EXPECT_EQ(buf.view(), "/");
  EXPECT_EQ(name(), "autor/");
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'A'), 0);
  feed({"<a >"}); // an empty rest, read
  EXPECT_EQ(name(), "a");
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'A'), 0);
  // A NUL is a stored character: the rest is there, though the text it hands on ends at it.
  using namespace std::string_literals;
  for (char rezim : {'A', 'N'})
    for (const std::string &tag : {"<a \0>"s, "<a \0x>"s, "<a\n\0>"s}) {
      feed({tag});
      EXPECT_EQ(name(), "a");
      EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, rezim), 2) << rezim;
      EXPECT_EQ(buf.view(), "") << rezim;
    }
}

TEST_F(Scanner, CountsLinesEverywhereAndDropsLineEndsFromTexts) {
  feed({"\r\n\n<a>12\r\n34</a>\n<!-- x\n-\n-\n> y -->"});
  report::Pole<300> buf;
  EXPECT_EQ(name(), "a");
  EXPECT_EQ(reader::dej_obsah(s(), buf), 0);
  EXPECT_EQ(buf.view(), "1234");
  EXPECT_EQ(s().cislo_radky, 4);
  EXPECT_EQ(name(), "/a");
  EXPECT_EQ(name(), "!--");
  EXPECT_EQ(reader::preskoc_zbytek_komentare(s()), 0); // "-", "-", ">" across lines end it
  EXPECT_EQ(s().cislo_radky, 8);
}

TEST_F(Scanner, CommentNeedsABlankAfterItsNameAndEndsAtTwoHyphensAndAngle) {
  feed({std::string("<!--x--><!-- a -- b --><c><!-- -> -a> <d> \0 --><e>", 50)});
  EXPECT_EQ(name(), "!--x--");
  EXPECT_EQ(name(), "!--");
  EXPECT_EQ(reader::preskoc_zbytek_komentare(s()), 0);
  EXPECT_EQ(name(), "c");
  EXPECT_EQ(name(), "!--");
  EXPECT_EQ(reader::preskoc_zbytek_komentare(s()), 0); // not at "->", "-a>" or the NUL
  EXPECT_EQ(name(), "e");
}

TEST_F(Scanner, OverlongTextsKeepTheirFirst299Characters) {
  struct Row {
    std::size_t length;
    int result;
    std::size_t kept;
  } rows[] = {{299, 0, 299}, {300, 0, 300}, {301, 1, 299}, {400, 1, 299}};
  for (const Row &r : rows) {
    std::string text(r.length, 'x');
    feed({"<a>" + text + "</a>"});
    report::Pole<300> buf;
    name();
    EXPECT_EQ(reader::dej_obsah(s(), buf), r.result) << r.length;
    EXPECT_EQ(buf.size(), r.kept) << r.length;
    EXPECT_EQ(name(), "/a") << r.length; // the rest is skipped up to the next tag
  }
  feed({"<a " + std::string(350, 'y') + " z>"}); // blanks are not stored in mode A
  report::Pole<300> buf;
  name();
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'A'), 1);
  EXPECT_EQ(buf.size(), 299u);
  feed({"<" + std::string(301, 'n') + "m>"});
  EXPECT_EQ(name(), std::string(299, 'n'));
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'N'), 2); // the rest of the name is the rest
  EXPECT_EQ(buf.view(), "m");
}

// A NUL is stored and counts toward the limit, but the text handed on ends before it (bytes
// above 127 are stored as they are); in pieces of 3 bytes and in one piece, where the scanner
// takes sixteen bytes at a time.
TEST_F(Scanner, ANulEndsTheTextAndCountsTowardTheLimit) {
  using namespace std::string_literals;
  const std::string x298(298, 'x'), x299(299, 'x'), x300(300, 'x');
  struct Row {
    std::string text;
    int result;
    std::size_t kept;
  } rows[] = {{x298 + "\0y"s, 0, 298},  {x299 + "\0"s, 0, 299},         {x300 + "\0"s, 1, 299},
              {x299 + "\0y"s, 1, 299},  {"\0"s + x300, 1, 0},           {"ab\0cd\0ef"s, 0, 2},
              {x298 + "\0\0"s, 0, 298}, {"0123456789abcdef\0"s, 0, 16}, {"\x80\xfe\xff"s, 0, 3}};
  for (std::size_t piece : {std::size_t{3}, std::size_t{4096}})
    for (const Row &r : rows) {
      feed({"<a>" + r.text + "</a>"}, piece);
      report::Pole<300> buf;
      name();
      EXPECT_EQ(reader::dej_obsah(s(), buf), r.result) << r.text.size() << " in " << piece;
      EXPECT_EQ(buf.view(), r.text.substr(0, r.kept)) << r.text.size() << " in " << piece;
      EXPECT_EQ(name(), "/a");
    }
}

TEST_F(Scanner, TheInputEndingInsideATextEndsIt) {
  report::Pole<300> buf;
  feed({"<!-- x --", "\n-"});
  EXPECT_EQ(name(), "!--");
  EXPECT_EQ(reader::preskoc_zbytek_komentare(s()), -1);
  EXPECT_EQ(s().cislo_radky, 2);
  feed({"<a>12"});
  EXPECT_EQ(name(), "a");
  EXPECT_EQ(reader::dej_obsah(s(), buf), -1);
  feed({"<a b"});
  EXPECT_EQ(name(), "a");
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'N'), -1);
  feed({"<ab"});
  EXPECT_EQ(reader::dej_element(s(), buf), -1);
  feed({"<a " + std::string(400, 'x')}); // a rest too long, then no end of the tag
  EXPECT_EQ(name(), "a");
  EXPECT_EQ(reader::dej_zbytek_elementu(s(), buf, 'A'), 1);
  EXPECT_EQ(reader::dej_obsah(s(), buf), -1);
}

// The scanner takes sixteen bytes at a time where the window and the buffer have room for them,
// and one at a time elsewhere. Random documents (blanks, line ends, NUL, markup, long texts)
// read in pieces of 3 bytes and in one piece must give the same texts, results and lines. Bytes
// after the document's end, not part of it, must not be read.
TEST_F(Scanner, SixteenAtATimeReadsAsOneAtATime) {
  std::mt19937 gen(2008);
  const std::string special("< >\r\n\0/-!", 10);
  auto transcript = [this](const std::string &doc, const std::vector<int> &ops, std::size_t piece) {
    feed({doc + std::string(16, 'a')}, piece, 16);
    std::string out;
    report::Pole<300> buf;
    for (int op : ops) {
      int r = op == 0   ? reader::dej_element(s(), buf)
              : op == 1 ? reader::dej_zbytek_elementu(s(), buf, 'A')
              : op == 2 ? reader::dej_zbytek_elementu(s(), buf, 'N')
              : op == 3 ? reader::dej_obsah(s(), buf)
                        : reader::preskoc_zbytek_komentare(s());
      out += std::to_string(r) + "|" + std::string(buf.view()) + "|" +
             std::to_string(s().cislo_radky) + s().je_OTVZAV + s().je_ZAVZAV + "\n";
      if (r < 0)
        break;
    }
    return out;
  };
  for (int round = 0; round < 3000; ++round) {
    const unsigned sparse = round % 2 ? 400 : 12; // one special in so many bytes, on average
    std::string doc(gen() % 900, 'x');
    for (char &c : doc)
      c = gen() % sparse == 0 ? special[gen() % special.size()]
                              : static_cast<char>('a' + gen() % 3);
    std::vector<int> ops(40);
    for (int &op : ops)
      op = static_cast<int>(gen() % 5);
    ASSERT_EQ(transcript(doc, ops, 3), transcript(doc, ops, 4096)) << round;
  }
}

// An input file's size is what the progress shows; a device or pipe has none.
TEST_F(Scanner, OpensAFileWithItsSize) {
  std::string one = ::testing::TempDir() + "kuf-one-byte";
  write_file(one, "<");
  auto in = reader::Input::open(one, 4096);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->size(), 1u);
  std::remove(one.c_str());
  in = reader::Input::open("/dev/null", 4096);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->size(), 0u);
  EXPECT_EQ(reader::Input::open(::testing::TempDir(), 4096), nullptr); // a folder
  EXPECT_EQ(reader::Input::open(one, 4096), nullptr);                  // gone
}

// A caller's source fills as much of the buffer as it gives, until it gives 0, and is not
// asked again after that; a count below 0 or above the buffer's room is a failed read.
TEST(Input, ReadsACallersSourceUntilItGivesNothing) {
  struct Zdroj {
    std::vector<std::ptrdiff_t> counts;
    std::size_t asked = 0;
  };
  const reader::Zdroj read = [](void *buffer, std::size_t size, void *context) {
    auto &z = *static_cast<Zdroj *>(context);
    const std::ptrdiff_t n = z.counts.at(z.asked++);
    if (n > 0)
      std::memset(buffer, 'x', std::min(size, static_cast<std::size_t>(n)));
    return n;
  };
  Zdroj z{{1, 4, 0}};
  reader::Input in(read, &z, 4);
  EXPECT_EQ(in.fill(), "x");
  EXPECT_EQ(in.fill(), "xxxx"); // the whole buffer
  EXPECT_EQ(in.fill(), "");
  EXPECT_EQ(in.fill(), "");
  EXPECT_EQ(z.asked, 3u);
  EXPECT_EQ(in.size(), 0u);
  for (const std::ptrdiff_t bad : {-1, 5}) {
    Zdroj failing{{bad}};
    reader::Input broken(read, &failing, 4);
    EXPECT_THROW(broken.fill(), reader::ChybaCteni) << bad;
  }
}

TEST_F(Scanner, ReadsOnAcrossTheInputsOfAList) {
  feed({"<ro", "k>20", "", "08</rok>\n", "<a>"});
  report::Pole<300> buf;
  EXPECT_EQ(name(), "rok");
  EXPECT_EQ(reader::dej_obsah(s(), buf), 0);
  EXPECT_EQ(buf.view(), "2008");
  EXPECT_EQ(name(), "/rok");
  EXPECT_EQ(name(), "a");
  EXPECT_EQ(s().cislo_radky, 2);
}

// Elements taken whole from the read buffer: those that lie in the next 32 or 64 bytes of a
// window of 80 bytes or more and hold nothing that reading by parts treats otherwise; all
// others are left to reading by parts, with nothing consumed.
TEST_F(Scanner, TakesWholeElementsAndLeavesTheRest) {
  const std::string n50(50, 'N');
  struct Case {
    std::string text;
    bool whole;
    std::int64_t radky = 0;
    bool es302 = false;
  };
  const Case cases[] = {
      {"\n<AA0126>7700000001</AA0126>", true, 1},
      {"\n\n<predkladatel>Obec Lhota pod Lesem</predkladatel>", true, 2}, // past 32 bytes
      {"<" + n50 + ">x</a>", true, 0, true},
      {"<" + n50 + "N>x</a>", false},       // a name past 50 characters
      {"<AA01>x</AA0126>", true, 0, false}, // the end name only begins with the name
      {"<AA0126>x</AA01>", true, 0, true},
      {"<ABCDEFGHIJKLMNOPQ>x</ABCDEFGHIJKLMNOPQ>", true}, // past 16 characters compared at once
      {"<a b>x</a>", false},
      {"<a>x\ny</a>", false},
      {std::string("<a>x\0</a>", 9), false},
      {"<a>x\r</a>", false},
      {"<a>x\ty</a>", false}, // a tab or another control character
      {"<a\tb>x</a\tb>", false},
      {"<a>x\x1Fy</a>", false},
      {"<ABCDEFGHIJKLMNO>\nx</ABCDEFGHIJKLMNO>", false}, // a line feed first, past 16 bytes
      {"\r\n\t<a>\xE1 \xFF</a>", true, 1}, // blanks and letters of the code page in a content
      {"<kuf:a>x</a>", false},
      {"<a:b>x</a:b>", true}, // a colon, but no "kuf:"
      {"<a>x</kuf:a>", false},
      {"<>x</a><b>y</b>", false}, // an empty name, and an empty end name, before another tag
      {"<a>x<>y</b>", false},
      {"<a>" + std::string(57, 'x') + "</a>", true}, // just 64 bytes
      {"\n<predkladatel>Obec Lhota pod Lesem, Dolni a Horni Lhota</predkladatel>",
       false}, // past 64
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.text);
    feed({});
    const std::string text = k.text + std::string(80, '.');
    s().okno = text;
    reader::CelyPrvek c;
    ASSERT_EQ(reader::nahled_prvku(s(), c), k.whole);
    if (!k.whole)
      continue;
    const std::size_t od = text.find('<'), po = text.find('>', text.find('<', od + 1)) + 1;
    EXPECT_EQ(c.cely, text.substr(od, po - od));
    EXPECT_EQ(c.elem, text.substr(od + 1, text.find('>') - od - 1));
    const std::size_t konec = text.find('<', od + 1) + 1;
    EXPECT_EQ(c.konec, text.substr(konec, po - 1 - konec));
    EXPECT_EQ(c.delka, po);
    EXPECT_EQ(c.radky, k.radky);
    EXPECT_EQ(c.es302, k.es302);
    reader::prijmi_prvek(s(), c);
    EXPECT_EQ(s().okno, text.substr(po));
    EXPECT_EQ(s().cislo_radky, 1 + k.radky);
  }
  // The window must hold 80 bytes, and no "<" may be taken already.
  const std::string kratke = "<a>1</a>" + std::string(72, '.');
  feed({});
  reader::CelyPrvek c;
  s().okno = std::string_view(kratke).substr(0, 79);
  EXPECT_FALSE(reader::nahled_prvku(s(), c));
  s().okno = kratke;
  EXPECT_TRUE(reader::nahled_prvku(s(), c));
  s().je_OTVZAV = 'A';
  EXPECT_FALSE(reader::nahled_prvku(s(), c));
}

} // namespace
