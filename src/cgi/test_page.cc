// Page 0: the test page, without frame; it processes nothing.
#include "cgi/page_frame.h"
#include "cgi/pages.h"

namespace orvik {

void testPage(PageContext& context) {
  PageWriter& out = context.out;
  out.print("<H1>%s</H1>", "Demo CGI");
  out.print("<FORM ACTION=\"%s\" METHOD=POST>", kProgramPath);
  out.write("<SELECT NAME=\"port\">");
  out.write("<OPTION>COM 1");
  out.write("<OPTION>COM 2");
  out.write("</SELECT>");
  out.write("</TD></TR>");
  out.write("<BR><INPUT TYPE=submit VALUE=\"Submit\">");
  out.write("<INPUT TYPE=reset VALUE=\"Reset\">");
  out.write("</FORM>");
}

}  // namespace orvik
