import com.healthmarketscience.jackcess.*;
import java.io.File;

/**
 * Writes the memo databases whose Status column the program must refuse to change: one with an
 * index on Status, one with Status as a 2-byte Integer. Each has the memo tables' columns and a
 * pair of duplicate memos.
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

  public static void main(String[] args) throws Exception {
    make(new File(args[0], "MemoStatusIndexed.mdb"), true, DataType.LONG);
    make(new File(args[0], "MemoStatusShort.mdb"), false, DataType.INT);
  }
}
