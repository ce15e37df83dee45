import com.healthmarketscience.jackcess.*;
import java.io.File;

/**
 * Writes the memo databases whose Status column the program must refuse to change: one with an
 * index on Status, one with Status as a 2-byte Integer. Each has the memo tables' columns and a
 * pair of duplicate memos. And a contacts database of Cyrillic names (needs Schemas.java of the
 * generator of the other files on the classpath).
 * usage: MakeOdd OUTDIR   (classpath: jackcess.jar, commons-lang3.jar, commons-logging.jar)
 */
public class MakeOdd {
  static void make(File f, boolean statusIndexed, DataType statusType) throws Exception {
    f.delete();
    try (Database db = DatabaseBuilder.newDatabase(f).setFileFormat(Database.FileFormat.V2000).create()) {
      Table cat = DatabaseBuilder.newTable("Category")
          .addColumn(DatabaseBuilder.newColumn("ID", DataType.LONG))
          .addColumn(DatabaseBuilder.newColumn("Name", DataType.TEXT).setLengthInUnits(255))
          .addColumn(DatabaseBuilder.newColumn("Status", DataType.LONG))
          .addColumn(DatabaseBuilder.newColumn("Color", DataType.LONG))
          .addIndex(DatabaseBuilder.newIndex("PrimaryKey").addColumns("ID").setPrimaryKey())
          .toTable(db);
      cat.addRow(0, "Unfiled", 0, 0);
      cat.addRow(1, "Business", 0, 0);
      TableBuilder tb = DatabaseBuilder.newTable("Main")
          .addColumn(DatabaseBuilder.newColumn("Record ID", DataType.LONG))
          .addColumn(DatabaseBuilder.newColumn("Status", statusType))
          .addColumn(DatabaseBuilder.newColumn("Placement", DataType.LONG))
          .addColumn(DatabaseBuilder.newColumn("Private", DataType.BOOLEAN))
          .addColumn(DatabaseBuilder.newColumn("Category", DataType.TEXT).setLengthInUnits(32))
          .addColumn(DatabaseBuilder.newColumn("Note", DataType.MEMO))
          .addColumn(DatabaseBuilder.newColumn("Blob", DataType.OLE));
      tb.addIndex(DatabaseBuilder.newIndex("Record ID").addColumns("Record ID"));
      if (statusIndexed) tb.addIndex(DatabaseBuilder.newIndex("Status").addColumns("Status"));
      Table main = tb.toTable(db);
      main.addRow(1, 0, 1, false, "1", "Same memo\r\nsecond line", null);
      main.addRow(2, 0, 2, false, "1", "Same memo\r\nsecond line", null);
      main.addRow(3, 0, 3, false, "0", "Another memo", null);
    }
  }

  /** Contacts with Cyrillic names: two people with one e-mail address, and one true duplicate. */
  static void makeCyrillic(File f) throws Exception {
    f.delete();
    java.util.List<Schemas.Col> cols = Schemas.address();
    try (Database db = DatabaseBuilder.newDatabase(f).setFileFormat(Database.FileFormat.V2000).create()) {
      Table cat = DatabaseBuilder.newTable("Category")
          .addColumn(DatabaseBuilder.newColumn("ID", DataType.LONG))
          .addColumn(DatabaseBuilder.newColumn("Name", DataType.TEXT).setLengthInUnits(255))
          .addColumn(DatabaseBuilder.newColumn("Status", DataType.LONG))
          .addColumn(DatabaseBuilder.newColumn("Color", DataType.LONG))
          .toTable(db);
      cat.addRow(0, "Unfiled", 0, 0);
      cat.addRow(1, "Друзья", 0, 0);
      TableBuilder tb = DatabaseBuilder.newTable("Main");
      for (Schemas.Col col : cols) {
        ColumnBuilder cb;
        switch (col.type.charAt(0)) {
          case 'L': cb = DatabaseBuilder.newColumn(col.name, DataType.LONG); break;
          case 'B': cb = DatabaseBuilder.newColumn(col.name, DataType.BOOLEAN); break;
          case 'T': cb = DatabaseBuilder.newColumn(col.name, DataType.TEXT).setLengthInUnits(col.textLen()); break;
          case 'M': cb = DatabaseBuilder.newColumn(col.name, DataType.MEMO); break;
          default: cb = DatabaseBuilder.newColumn(col.name, DataType.OLE); break;
        }
        tb.addColumn(cb);
      }
      tb.addIndex(DatabaseBuilder.newIndex("Record ID").addColumns("Record ID"));
      Table main = tb.toTable(db);
      String[][] people = {{"Иван", "Петров"}, {"Олег", "Иванов"}, {"Анна", "Смирнова"}, {"Анна", "Смирнова"}};
      String[] mail = {"ivan@example.org", "ivan@example.org", "anna@example.org", "anna@example.org"};
      for (int i = 0; i < people.length; i++) {
        Object[] row = new Object[cols.size()];
        for (int c = 0; c < cols.size(); c++) {
          Schemas.Col col = cols.get(c);
          switch (col.type.charAt(0)) {
            case 'L': row[c] = 0; break;
            case 'B': row[c] = false; break;
            case 'T': row[c] = ""; break;
            default: row[c] = null; break;
          }
          if (col.name.equals("Record ID")) row[c] = i + 1;
          if (col.name.equals("Placement")) row[c] = i + 1;
          if (col.name.equals("Category")) row[c] = "1";
          if (col.name.equals("First Name")) row[c] = people[i][0];
          if (col.name.equals("Last Name")) row[c] = people[i][1];
          if (col.name.equals("E-mail 1")) row[c] = mail[i];
          if (col.name.equals("Company")) row[c] = "Рога и копыта";
          if (col.name.equals("Note")) row[c] = "";
        }
        main.addRow(row);
      }
    }
  }

  public static void main(String[] args) throws Exception {
    makeCyrillic(new File(args[0], "AddressCyrillic.mdb"));
    make(new File(args[0], "MemoStatusIndexed.mdb"), true, DataType.LONG);
    make(new File(args[0], "MemoStatusShort.mdb"), false, DataType.INT);
  }
}
